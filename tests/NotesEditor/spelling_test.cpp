// Spelling: which words of a paragraph are looked up, which dictionary the desktop's
// language picks, the guess at a paragraph's language, and Enchant over a small
// dictionary installed in a private folder.
#include "enchantspellchecker.h"
#include "NotesEditor/support/wordlist.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList wordsOf(const QString& paragraph)
{
    QStringList list;
    for (const TextRange& r : SpellChecker::words(paragraph))
        list.append(paragraph.mid(r.location, r.length));
    return list;
}

QStringList misspelt(SpellChecker& checker, const QString& paragraph)
{
    QStringList list;
    for (const TextRange& r : checker.check(paragraph).misspelt)
        list.append(paragraph.mid(r.location, r.length));
    return list;
}

TEST(Spelling, TheWordsThatAreLookedUp)
{
    const QList<std::pair<QString, QStringList>> cases = {
        {"Teh cat sat", {"Teh", "cat", "sat"}},
        {"don't stop, it's fine", {"don't", "stop", "it's", "fine"}},
        // Numbers, single letters and words with digits are not words of a language.
        {"a 42 x2 B2B I go", {"go"}},
        // Markers at the start of a paragraph are no words either.
        {QStringLiteral("\u2610\tbuy mlik"), {"buy", "mlik"}},
        {QStringLiteral("\u2022\tone"), {"one"}},
        // Addresses keep their odd spellings.
        {"see https://exampel.org/pathh or mail me@hoem.net now", {"see", "or", "mail", "now"}},
        {"www.sitte.com snake_case word", {"word"}},
        {QStringLiteral("Stra\u00DFe caf\u00E9"), {QStringLiteral("Stra\u00DFe"), QStringLiteral("caf\u00E9")}},
        {"", {}},
    };
    for (const auto& [paragraph, words] : cases)
        EXPECT_EQ(wordsOf(paragraph), words) << paragraph.toStdString();
}

TEST(Spelling, TheDesktopsLanguageThenEnglish)
{
    const QStringList installed{"de_AT", "de_DE", "en_GB", "en_US", "fr"};
    const struct {
        QStringList desktop;
        QString chosen;
    } cases[] = {
        {{"de_DE", "de"}, "de_DE"},
        {{"de_CH"}, "de_AT"},          // the same language, another region
        {{"fr_CA", "fr"}, "fr"},
        {{"en_GB"}, "en_GB"},
        {{"nl_NL", "nl"}, "en_US"},    // none for the desktop: English
        {{"C"}, "en_US"},
        {{}, "en_US"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpellChecker::chooseLanguage(installed, c.desktop), c.chosen) << c.desktop.join(',').toStdString();
    EXPECT_EQ(SpellChecker::chooseLanguage({"en_AU", "de_DE"}, {"nl"}), "en_AU");
    // No dictionary for the desktop and no English: nothing is checked.
    EXPECT_EQ(SpellChecker::chooseLanguage({"de_DE"}, {"nl"}), QString());
    EXPECT_EQ(SpellChecker::chooseLanguage({}, {"en_US"}), QString());
}

TEST(Spelling, AParagraphPlainlyInAnotherLanguageIsCheckedInIt)
{
    WordList checker({{"en", {"the", "dog", "runs", "in", "park"}},
                      {"de", {"der", "hund", "läuft", "im", "park"}}});
    EXPECT_EQ(misspelt(checker, "the dog runs in teh park"), QStringList{"teh"});
    EXPECT_EQ(checker.check(QStringLiteral("der Hund l\u00E4uft im Prak")).language, 1);
    EXPECT_EQ(misspelt(checker, QStringLiteral("der Hund l\u00E4uft im Prak")), QStringList{"Prak"});
    // Too few words to tell, or as wrong in every language: the first one's marks.
    EXPECT_EQ(checker.check(QStringLiteral("der Hund")).language, 0);
    EXPECT_EQ(misspelt(checker, "qwe rty uio"), (QStringList{"qwe", "rty", "uio"}));

    // No language: nothing is checked, nothing suggested, nothing learned.
    WordList none;
    EXPECT_EQ(none.check(QStringLiteral("Teh speling")), SpellChecker::Check{});
    EXPECT_TRUE(none.suggestions(QStringLiteral("Teh"), 0).isEmpty());
    QSignalSpy changed(&none, &SpellChecker::wordsChanged);
    none.learn(QStringLiteral("Teh"), 0);
    EXPECT_TRUE(none.learned.isEmpty());
    EXPECT_EQ(changed.count(), 0);
}

// A dictionary of a few words under a private Enchant folder, which comes before the
// system's dictionaries; the personal word list lands there too.
class PrivateDictionary {
public:
    PrivateDictionary()
    {
        old_ = qgetenv("ENCHANT_CONFIG_DIR");
        qputenv("ENCHANT_CONFIG_DIR", dir_.path().toLocal8Bit());
        QDir(dir_.path()).mkpath(QStringLiteral("hunspell"));
        write(QStringLiteral("hunspell/en_US.aff"), "SET UTF-8\nTRY esianrtolcdugmphbyfvkwz\n");
        write(QStringLiteral("hunspell/en_US.dic"), "6\nthe\nnote\nis\nspelling\nplanner\nweek\n");
    }
    ~PrivateDictionary() { qputenv("ENCHANT_CONFIG_DIR", old_); }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    void write(const QString& name, const QByteArray& data)
    {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QTemporaryDir dir_;
    QByteArray old_;
};

void waitReady(EnchantSpellChecker& checker)
{
    QSignalSpy ready(&checker, &SpellChecker::wordsChanged);
    checker.prepare();
    ASSERT_TRUE(ready.wait(30000));
    ASSERT_EQ(ready.first().first().toString(), QString());
}

TEST(Spelling, EnchantOverAPrivateDictionary)
{
    PrivateDictionary dictionary;
    // A language without a dictionary falls back to English.
    EnchantSpellChecker checker({QStringLiteral("qz_QZ")});
    EXPECT_FALSE(checker.isAvailable());  // until the dictionary has loaded
    EXPECT_EQ(misspelt(checker, "the note"), QStringList());
    waitReady(checker);
    ASSERT_TRUE(checker.isAvailable());
    EXPECT_EQ(checker.languages().first(), QStringLiteral("en_US"));

    EXPECT_EQ(misspelt(checker, "Teh note is speling"), (QStringList{"Teh", "speling"}));
    EXPECT_TRUE(checker.suggestions(QStringLiteral("speling"), 0).contains(QStringLiteral("spelling")));
    EXPECT_LE(checker.suggestions(QStringLiteral("speling"), 0).size(), SpellChecker::suggestionCount);

    QSignalSpy changed(&checker, &SpellChecker::wordsChanged);
    checker.learn(QStringLiteral("Pemby"), 0);
    checker.ignore(QStringLiteral("Teh"), 0);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(misspelt(checker, "Teh Pemby planner"), QStringList());

    // The learned word stays, in the private word list; the ignored one was for this run.
    EnchantSpellChecker again({QStringLiteral("en_US")});
    waitReady(again);
    EXPECT_EQ(misspelt(again, "Teh Pemby planner"), QStringList{"Teh"});
    QFile personal(dictionary.path(QStringLiteral("en_US.dic")));
    ASSERT_TRUE(personal.open(QIODevice::ReadOnly));
    EXPECT_TRUE(personal.readAll().contains("Pemby"));
}

} // namespace
