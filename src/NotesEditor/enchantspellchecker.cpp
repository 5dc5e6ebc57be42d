#include "enchantspellchecker.h"

#include <QLoggingCategory>
#include <QMetaObject>

#include <enchant.h>

#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcSpelling, "app.pemby.planner.spelling")

QString languageOf(const QString& tag)
{
    return tag.section(u'_', 0, 0).toLower();
}

void collect(const char* tag, const char*, const char*, const char*, void* data)
{
    auto* tags = static_cast<QStringList*>(data);
    const QString name = QString::fromUtf8(tag);
    if (!tags->contains(name))
        tags->append(name);
}

} // namespace

EnchantSpellChecker::EnchantSpellChecker(QStringList desktop, QObject* parent)
    : SpellChecker(parent), desktop_(std::move(desktop))
{
}

EnchantSpellChecker::~EnchantSpellChecker()
{
    if (loader_.joinable())
        loader_.join();
    for (EnchantDict* dict : std::as_const(dicts_))
        enchant_broker_free_dict(broker_, dict);
    if (broker_)
        enchant_broker_free(broker_);
}

void EnchantSpellChecker::prepare()
{
    if (started_)
        return;
    started_ = true;
    loader_ = std::thread([this] {
        load();
        // Back on the thread the checker lives on; dropped if it is gone by then.
        QMetaObject::invokeMethod(this, [this] { loaded(); }, Qt::QueuedConnection);
    });
}

void EnchantSpellChecker::load()
{
    broker_ = enchant_broker_init();
    if (!broker_)
        return;
    QStringList installed;
    enchant_broker_list_dicts(broker_, collect, &installed);
    installed.sort();
    const QString first = chooseLanguage(installed, desktop_);
    if (first.isEmpty()) {
        qCInfo(lcSpelling) << "no dictionary for" << desktop_ << "or English: spelling is not checked";
        return;
    }
    // The first language, then one dictionary for each other language there is.
    QStringList wanted{first};
    for (const QString& tag : std::as_const(installed)) {
        const QString language = languageOf(tag);
        if (std::none_of(wanted.begin(), wanted.end(), [&](const QString& w) { return languageOf(w) == language; }))
            wanted.append(tag);
    }
    for (const QString& tag : std::as_const(wanted)) {
        EnchantDict* dict = enchant_broker_request_dict(broker_, tag.toUtf8().constData());
        if (!dict) {
            qCWarning(lcSpelling) << "cannot open the dictionary" << tag << enchant_broker_get_error(broker_);
            if (tag == first)
                return;
            continue;
        }
        dicts_.append(dict);
        tags_.append(tag);
    }
}

void EnchantSpellChecker::loaded()
{
    if (loader_.joinable())
        loader_.join();
    ready_ = !dicts_.isEmpty();
    if (ready_)
        emit wordsChanged(QString());
}

bool EnchantSpellChecker::isCorrect(QStringView word, int language)
{
    const QByteArray utf8 = word.toUtf8();
    // Negative is an error of the dictionary's: no reason to mark the word.
    return enchant_dict_check(dicts_[language], utf8.constData(), utf8.size()) <= 0;
}

QStringList EnchantSpellChecker::guesses(const QString& word, int language)
{
    const QByteArray utf8 = word.toUtf8();
    size_t count = 0;
    char** list = enchant_dict_suggest(dicts_[language], utf8.constData(), utf8.size(), &count);
    QStringList guesses;
    for (size_t i = 0; i < count && guesses.size() < suggestionCount + 1; ++i)
        guesses.append(QString::fromUtf8(list[i]));
    if (list)
        enchant_dict_free_string_list(dicts_[language], list);
    return guesses;
}

void EnchantSpellChecker::addWord(const QString& word, int language)
{
    const QByteArray utf8 = word.toUtf8();
    enchant_dict_add(dicts_[language], utf8.constData(), utf8.size());
}

void EnchantSpellChecker::ignoreWord(const QString& word, int language)
{
    const QByteArray utf8 = word.toUtf8();
    enchant_dict_add_to_session(dicts_[language], utf8.constData(), utf8.size());
}
