#include "spellingmarks.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

namespace {

// How many paragraphs one edit checks at once; a longer paste leaves the rest to the
// idle pass.
constexpr int checkedPerEdit = 20;
// How long one slice of the idle pass may hold the editor.
constexpr int sliceMilliseconds = 4;

struct Checked : QTextBlockUserData {
    QString text;
    int generation = 0;
    SpellChecker::Check check;
};

const Checked* checkedOf(const QTextBlock& block)
{
    return static_cast<const Checked*>(block.userData());
}

// Many paragraphs marked anew as one change of the document: its layout and its
// watchers hear of it once, not once per paragraph.
class Batch {
public:
    Batch(QTextDocument* text, int& marking) : cursor_(text), marking_(marking)
    {
        ++marking_;
        cursor_.beginEditBlock();
    }
    ~Batch()
    {
        cursor_.endEditBlock();
        --marking_;
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

private:
    QTextCursor cursor_;
    int& marking_;
};

} // namespace

SpellingMarks::SpellingMarks(QTextEdit* view, SpellChecker* checker)
    // No parent yet: given a text view, the highlighter would take its document before
    // attach() has set up what it needs.
    : QSyntaxHighlighter(static_cast<QObject*>(nullptr)), view_(view), checker_(checker ? checker : SpellChecker::shared())
{
    setParent(view);
    mark_.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    mark_.setUnderlineColor(QColor(0xE0, 0x32, 0x2B));
    pass_.setSingleShot(true);
    pass_.setInterval(0);
    connect(&pass_, &QTimer::timeout, this, &SpellingMarks::step);
    if (checker_)
        connect(checker_, &SpellChecker::wordsChanged, this, &SpellingMarks::wordsChanged);
}

SpellingMarks::~SpellingMarks()
{
    if (QTextDocument* text = document())
        disconnect(text, &QTextDocument::contentsChange, this, nullptr);
}

void SpellingMarks::attach(QTextDocument* text)
{
    if (QTextDocument* old = document())
        disconnect(old, &QTextDocument::contentsChange, this, nullptr);
    pass_.stop();
    scanNext_ = 0;
    deferredBehind_ = false;
    editing_.reset();
    // The dictionaries load once there is text to check: an editor that stays empty
    // costs nothing.
    if (checker_ && !text->isEmpty())
        checker_->prepare();
    // Ours before the highlighter's own, which checks the edited paragraphs, and ours
    // again after it: so we know which paragraphs an edit made.
    connect(text, &QTextDocument::contentsChange, this, &SpellingMarks::editing);
    setDocument(text);
    connect(text, &QTextDocument::contentsChange, this, &SpellingMarks::edited);
}

void SpellingMarks::editing(int position, int, int added)
{
    editing_ = TextRange{position, added};
    checkedNow_ = 0;
}

void SpellingMarks::edited()
{
    editing_.reset();
}

bool SpellingMarks::needsCheck(const QTextBlock& block) const
{
    const Checked* data = checkedOf(block);
    return !data || data->generation != generation_ || data->text != block.text();
}

void SpellingMarks::highlightBlock(const QString& text)
{
    if (!checker_)
        return;
    if (!checker_->isAvailable()) {
        // Typed into an empty note: its marks come once the dictionaries are ready.
        if (!text.isEmpty())
            checker_->prepare();
        return;
    }
    auto* data = static_cast<Checked*>(currentBlockUserData());
    if (!data || data->generation != generation_ || data->text != text) {
        const QTextBlock block = currentBlock();
        const bool edit = editing_ && block.position() <= editing_->end()
            && block.position() + block.length() > editing_->location && checkedNow_ < checkedPerEdit;
        if (!forced_ && !edit) {
            // Unmarked until its turn comes.
            defer();
            return;
        }
        if (edit)
            ++checkedNow_;
        if (!data) {
            data = new Checked;
            setCurrentBlockUserData(data);
        }
        data->text = text;
        data->generation = generation_;
        data->check = checker_->check(text);
    }
    for (const TextRange& r : std::as_const(data->check.misspelt))
        setFormat(r.location, r.length, mark_);
}

void SpellingMarks::defer()
{
    deferredBehind_ = true;
    if (!pass_.isActive())
        pass_.start();
}

void SpellingMarks::recheck(const QTextBlock& block)
{
    ++marking_;
    forced_ = true;
    rehighlightBlock(block);
    forced_ = false;
    --marking_;
}

void SpellingMarks::step()
{
    QTextDocument* text = document();
    if (!text || !checker_ || !checker_->isAvailable())
        return;
    QElapsedTimer clock;
    clock.start();
    Batch batch(text, marking_);
    // What is on screen first.
    if (view_) {
        const QTextBlock top = view_->cursorForPosition(QPoint(0, 0)).block();
        const QTextBlock bottom = view_->cursorForPosition(QPoint(view_->viewport()->width(), view_->viewport()->height())).block();
        for (QTextBlock b = top; b.isValid() && b.blockNumber() <= bottom.blockNumber(); b = b.next()) {
            if (needsCheck(b))
                recheck(b);
        }
    }
    if (scanNext_ == 0)
        deferredBehind_ = false;
    QTextBlock b = text->findBlockByNumber(scanNext_);
    for (; b.isValid(); b = b.next()) {
        if (needsCheck(b))
            recheck(b);
        if (clock.elapsed() >= sliceMilliseconds) {
            b = b.next();
            break;
        }
    }
    if (b.isValid()) {
        scanNext_ = b.blockNumber();
        pass_.start();
    } else if (deferredBehind_) {
        // Paragraphs the pass had already gone by were put off meanwhile.
        scanNext_ = 0;
        pass_.start();
    } else {
        scanNext_ = 0;
    }
}

void SpellingMarks::checkAll()
{
    pass_.stop();
    scanNext_ = 0;
    QTextDocument* text = document();
    if (!text || !checker_ || !checker_->isAvailable())
        return;
    Batch batch(text, marking_);
    for (QTextBlock b = text->begin(); b.isValid(); b = b.next()) {
        if (needsCheck(b))
            recheck(b);
    }
}

void SpellingMarks::wordsChanged(const QString& word)
{
    QTextDocument* text = document();
    if (!text)
        return;
    if (word.isEmpty()) {
        // Every mark may be wrong now: each paragraph is checked again in its turn.
        ++generation_;
        scanNext_ = 0;
        defer();
        return;
    }
    // Only a paragraph where the word was marked can change.
    Batch batch(text, marking_);
    for (QTextBlock b = text->begin(); b.isValid(); b = b.next()) {
        const Checked* data = checkedOf(b);
        if (!data || data->generation != generation_)
            continue;
        const bool marked = std::any_of(data->check.misspelt.begin(), data->check.misspelt.end(), [&](const TextRange& r) {
            return QStringView(data->text).sliced(r.location, r.length).compare(word, Qt::CaseInsensitive) == 0;
        });
        if (marked) {
            const_cast<Checked*>(data)->generation = -1;
            recheck(b);
        }
    }
}

std::optional<SpellingMarks::Word> SpellingMarks::misspeltWordAt(int position) const
{
    const QTextDocument* text = document();
    if (!text)
        return std::nullopt;
    const QTextBlock block = text->findBlock(position);
    const Checked* data = checkedOf(block);
    if (!block.isValid() || !data || data->generation != generation_ || data->text != block.text())
        return std::nullopt;
    const int offset = position - block.position();
    for (const TextRange& r : data->check.misspelt) {
        if (offset >= r.location && offset <= r.end())
            return Word{{block.position() + r.location, r.length}, data->text.mid(r.location, r.length), data->check.language};
    }
    return std::nullopt;
}

QList<TextRange> SpellingMarks::marks(const QTextBlock& block) const
{
    const Checked* data = checkedOf(block);
    if (!data || data->generation != generation_ || data->text != block.text())
        return {};
    return data->check.misspelt;
}
