#include "spellchecker.h"

#include "enchantspellchecker.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

QPointer<SpellChecker>& chosen()
{
    static QPointer<SpellChecker> checker;
    return checker;
}

// Made on first use, so a program that shows no note never loads a dictionary; let
// go with the application object, while the libraries it shares with Qt are whole.
EnchantSpellChecker*& enchantChecker()
{
    static EnchantSpellChecker* checker = nullptr;
    return checker;
}

void dropEnchant()
{
    delete std::exchange(enchantChecker(), nullptr);
}

SpellChecker* enchant()
{
    if (!enchantChecker()) {
        enchantChecker() = new EnchantSpellChecker;
        qAddPostRoutine(dropEnchant);
    }
    return enchantChecker();
}

bool hasLetter(QStringView text)
{
    for (const QChar c : text) {
        if (c.isLetter())
            return true;
    }
    return false;
}

// Whether the run without spaces around [from, to) is an address of some kind: its
// words are no words of the language.
bool inAddress(QStringView paragraph, int from, int to)
{
    int start = from, end = to;
    while (start > 0 && !paragraph[start - 1].isSpace())
        --start;
    while (end < paragraph.size() && !paragraph[end].isSpace())
        ++end;
    const QStringView token = paragraph.sliced(start, end - start);
    return token.contains(u"://") || token.contains(u'@') || token.startsWith(u"www.", Qt::CaseInsensitive);
}

QString languageOf(const QString& tag)
{
    return tag.section(u'_', 0, 0).toLower();
}

} // namespace

SpellChecker::SpellChecker(QObject* parent) : QObject(parent) {}

SpellChecker* SpellChecker::shared()
{
    if (SpellChecker* checker = chosen())
        return checker;
    return enchant();
}

void SpellChecker::setShared(SpellChecker* checker)
{
    chosen() = checker;
}

QList<TextRange> SpellChecker::words(QStringView paragraph)
{
    QList<TextRange> list;
    if (paragraph.isEmpty())
        return list;
    const auto isWord = [&](int from, int to) {
        const QStringView word = paragraph.sliced(from, to - from);
        const bool number = std::any_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
        return word.size() > 1 && hasLetter(word) && !number && !word.contains(u'_') && !inAddress(paragraph, from, to);
    };
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, paragraph.data(), int(paragraph.size()));
    int start = -1;
    // The finder stands at 0 first, which may begin a word.
    for (int at = 0; at >= 0; at = finder.toNextBoundary()) {
        const auto reasons = finder.boundaryReasons();
        if (start >= 0 && (reasons & QTextBoundaryFinder::EndOfItem)) {
            if (isWord(start, at))
                list.append({start, at - start});
            start = -1;
        }
        if (reasons & QTextBoundaryFinder::StartOfItem)
            start = at;
    }
    return list;
}

SpellChecker::Check SpellChecker::check(QStringView paragraph)
{
    Check result;
    const int languageCount = int(languages().size());
    if (languageCount == 0)
        return result;
    const QList<TextRange> words = SpellChecker::words(paragraph);
    const auto wrongIn = [&](int language) {
        QList<TextRange> wrong;
        for (const TextRange& w : words) {
            if (!isCorrect(paragraph.sliced(w.location, w.length), language))
                wrong.append(w);
        }
        return wrong;
    };
    result.language = 0;
    result.misspelt = wrongIn(0);
    const qsizetype count = words.size();
    // A guess at the paragraph's language, from its words alone: only a paragraph that
    // the first language mostly rejects is tried in the others.
    if (languageCount > 1 && count >= 3 && result.misspelt.size() * 2 > count) {
        for (int language = 1; language < languageCount; ++language) {
            QList<TextRange> wrong = wrongIn(language);
            if (wrong.size() * 2 < count && wrong.size() < result.misspelt.size()) {
                result.language = language;
                result.misspelt = std::move(wrong);
            }
        }
    }
    return result;
}

QStringList SpellChecker::suggestions(const QString& word, int language)
{
    if (language < 0 || language >= languages().size())
        return {};
    QStringList list = guesses(word, language);
    list.removeAll(word);
    if (list.size() > suggestionCount)
        list.resize(suggestionCount);
    return list;
}

void SpellChecker::learn(const QString& word, int language)
{
    if (word.isEmpty() || language < 0 || language >= languages().size())
        return;
    addWord(word, language);
    emit wordsChanged(word);
}

void SpellChecker::ignore(const QString& word, int language)
{
    if (word.isEmpty() || language < 0 || language >= languages().size())
        return;
    ignoreWord(word, language);
    emit wordsChanged(word);
}

QString SpellChecker::chooseLanguage(const QStringList& installed, const QStringList& desktop)
{
    const auto find = [&](auto matches) -> QString {
        for (const QString& tag : installed) {
            if (matches(tag))
                return tag;
        }
        return {};
    };
    for (const QString& wanted : desktop) {
        const QString exact = find([&](const QString& tag) { return tag.compare(wanted, Qt::CaseInsensitive) == 0; });
        if (!exact.isEmpty())
            return exact;
        const QString language = languageOf(wanted);
        if (language.isEmpty() || language == u"c" || language == u"posix")
            continue;
        const QString same = find([&](const QString& tag) { return languageOf(tag) == language; });
        if (!same.isEmpty())
            return same;
    }
    const QString american = find([](const QString& tag) { return tag.compare(u"en_US", Qt::CaseInsensitive) == 0; });
    if (!american.isEmpty())
        return american;
    return find([](const QString& tag) { return languageOf(tag) == u"en"; });
}

QStringList SpellChecker::desktopLanguages()
{
    QStringList list;
    for (QString name : QLocale::system().uiLanguages()) {
        name.replace(u'-', u'_');
        if (!list.contains(name))
            list.append(name);
    }
    return list;
}
