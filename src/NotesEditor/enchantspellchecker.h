#pragma once
// Spelling through Enchant over the installed Hunspell dictionaries: the desktop's
// language (or English) first, then one dictionary for each other installed language.
// "Add to Dictionary" goes into Enchant's personal word list of that language.
//
// Loading a dictionary takes a good part of a second, so it happens on a thread of
// its own on the first prepare(); until it is done the checker has no languages, and
// wordsChanged("") says when it has.

#include "spellchecker.h"

#include <QStringList>

#include <thread>

struct str_enchant_broker;
struct str_enchant_dict;

class EnchantSpellChecker : public SpellChecker {
    Q_OBJECT
public:
    // `desktop`: the wanted languages, most wanted first, as dictionary names.
    explicit EnchantSpellChecker(QStringList desktop = desktopLanguages(), QObject* parent = nullptr);
    ~EnchantSpellChecker() override;

    QStringList languages() const override { return ready_ ? tags_ : QStringList(); }
    void prepare() override;

protected:
    bool isCorrect(QStringView word, int language) override;
    QStringList guesses(const QString& word, int language) override;
    void addWord(const QString& word, int language) override;
    void ignoreWord(const QString& word, int language) override;

private:
    void load();
    void loaded();

    QStringList desktop_;
    std::thread loader_;
    bool started_ = false;
    bool ready_ = false;
    // Written by the loader only, read here once it is done.
    str_enchant_broker* broker_ = nullptr;
    QList<str_enchant_dict*> dicts_;
    QStringList tags_;
};
