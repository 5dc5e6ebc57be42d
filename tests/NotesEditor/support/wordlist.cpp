#include "wordlist.h"

namespace {

// Same length and one letter different, or one letter more or less.
bool oneApart(const QString& a, const QString& b)
{
    if (a.size() == b.size()) {
        int diff = 0;
        for (qsizetype i = 0; i < a.size(); ++i)
            diff += a[i] != b[i];
        return diff == 1;
    }
    const QString& longer = a.size() > b.size() ? a : b;
    const QString& shorter = a.size() > b.size() ? b : a;
    if (longer.size() != shorter.size() + 1)
        return false;
    for (qsizetype i = 0; i < longer.size(); ++i) {
        if (QString(longer).remove(i, 1) == shorter)
            return true;
    }
    return false;
}

} // namespace

WordList::WordList(QList<std::pair<QString, QStringList>> languages)
{
    for (auto& [name, words] : languages) {
        names_.append(name);
        QSet<QString> known;
        for (const QString& w : words)
            known.insert(w.toLower());
        words_.append(words);
        known_.append(known);
    }
}

WordList::~WordList() = default;

bool WordList::isCorrect(QStringView word, int language)
{
    ++checkedWords;
    return known_[language].contains(word.toString().toLower());
}

QStringList WordList::guesses(const QString& word, int language)
{
    QStringList list;
    for (const QString& w : std::as_const(words_[language])) {
        if (oneApart(w.toLower(), word.toLower()))
            list.append(w);
    }
    return list;
}

void WordList::addWord(const QString& word, int language)
{
    learned.append(word);
    known_[language].insert(word.toLower());
}

void WordList::ignoreWord(const QString& word, int language)
{
    ignored.append(word);
    known_[language].insert(word.toLower());
}
