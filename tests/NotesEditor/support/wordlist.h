#pragma once
// A spelling checker over small word lists, one per language, for tests that must not
// depend on the dictionaries installed. Counts what it is asked.

#include "spellchecker.h"

#include <QHash>
#include <QSet>

class WordList : public SpellChecker {
public:
    // Language name → its words (compared without case). No languages: checks nothing.
    explicit WordList(QList<std::pair<QString, QStringList>> languages = {});
    ~WordList() override;

    QStringList languages() const override { return names_; }

    // Words looked up so far.
    int checkedWords = 0;
    // What "Add to Dictionary" and "Ignore Spelling" were given.
    QStringList learned;
    QStringList ignored;

protected:
    bool isCorrect(QStringView word, int language) override;
    // The words of the language one letter away, in list order.
    QStringList guesses(const QString& word, int language) override;
    void addWord(const QString& word, int language) override;
    void ignoreWord(const QString& word, int language) override;

private:
    QStringList names_;
    QList<QStringList> words_;
    QList<QSet<QString>> known_;
};

// Installs a checker as the shared one for its lifetime.
class SharedSpelling {
public:
    explicit SharedSpelling(SpellChecker& checker) { SpellChecker::setShared(&checker); }
    ~SharedSpelling() { SpellChecker::setShared(nullptr); }
    SharedSpelling(const SharedSpelling&) = delete;
    SharedSpelling& operator=(const SharedSpelling&) = delete;
};
