#pragma once
// Which words of a note's paragraph are misspelt, what could stand in for one, and
// the words the user taught it. One checker serves every editor of the process, so
// a word added to the dictionary in one note is right in all of them.
//
// API
//   SpellChecker* spelling = SpellChecker::shared();       Enchant's, unless a test set one
//   const SpellChecker::Check c = spelling->check(paragraph);  c.misspelt: ranges of the paragraph
//   spelling->suggestions(word, c.language);                 the first few
//   spelling->learn(word, c.language);                       then wordsChanged(word)
//
// Until its dictionaries are ready, and for good when none is installed, a checker has
// no languages: it finds nothing and offers nothing.

#include "textdocument.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

class SpellChecker : public QObject {
    Q_OBJECT
public:
    // How many suggestions the text menu offers.
    static constexpr int suggestionCount = 5;

    struct Check {
        int language = -1;          // index into languages(); -1 when nothing was checked
        QList<TextRange> misspelt;  // in text order, offsets into the paragraph
        bool operator==(const Check&) const = default;
    };

    explicit SpellChecker(QObject* parent = nullptr);

    // The checker every editor uses: the one a test set, else Enchant's for the
    // desktop's language, made on first use.
    static SpellChecker* shared();
    // Replaces the shared checker until called again; nullptr brings Enchant's back.
    // The caller keeps ownership.
    static void setShared(SpellChecker* checker);

    // The dictionaries, the first for the desktop's language (or English); other
    // installed languages follow, one dictionary each. Empty: nothing is checked.
    virtual QStringList languages() const = 0;
    bool isAvailable() const { return !languages().isEmpty(); }
    // Asks for the dictionaries to be made ready; wordsChanged() follows once they are.
    virtual void prepare() {}

    // The misspelt words of one paragraph. It is checked in the first language unless
    // most of its words are wrong there and another language takes far fewer of them.
    Check check(QStringView paragraph);
    // What could stand in for `word`, at most suggestionCount.
    QStringList suggestions(const QString& word, int language);
    // Into the personal word list of the language, for good; ignore() for this run only.
    void learn(const QString& word, int language);
    void ignore(const QString& word, int language);

    // The words of a paragraph that are checked: runs of letters (with the
    // apostrophes inside a word), not numbers, addresses or single letters.
    static QList<TextRange> words(QStringView paragraph);
    // The dictionary for the desktop's languages (most wanted first) among the
    // installed ones: the same language and region, the same language, else English.
    // Empty when there is none of these.
    static QString chooseLanguage(const QStringList& installed, const QStringList& desktop);
    // The desktop's languages, most wanted first, as dictionary names ("de_DE", "de").
    static QStringList desktopLanguages();

signals:
    // `word` is now right (or wrong) everywhere; an empty word: any mark may have
    // changed, as when the dictionaries became ready.
    void wordsChanged(const QString& word);

protected:
    virtual bool isCorrect(QStringView word, int language) = 0;
    virtual QStringList guesses(const QString& word, int language) = 0;
    virtual void addWord(const QString& word, int language) = 0;
    virtual void ignoreWord(const QString& word, int language) = 0;
};
