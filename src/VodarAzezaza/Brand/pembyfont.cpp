#include "pembyfont.h"

#include "logcategories.h"

#include <QDir>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextLayout>

#include <cmath>

// The resource lives in a static library: nothing would pull it in otherwise.
static void initFontResource() { Q_INIT_RESOURCE(pembypixel); }

namespace PembyFont {

namespace {
bool registered = false;

// Whether the painter maps the font's pixels onto whole device pixels anyway: a whole
// scale (1, 2, 3), no rotation. There the font draws crisp as it is.
bool drawsCrisp(const QPainter& painter)
{
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale)
        return false;
    const auto whole = [](qreal v) { return std::abs(v - std::round(v)) < 1e-6; };
    return whole(t.m11()) && whole(t.m22()) && whole(t.dx()) && whole(t.dy());
}

// `path` with every point moved to the nearest device pixel corner. The glyphs are
// rectangles on the font's pixel grid, so they stay rectangles, and a shared edge of
// two of them moves alike in both.
QPainterPath snapped(const QPainterPath& path, const QTransform& toDevice)
{
    const QTransform back = toDevice.inverted();
    QPainterPath out = path;
    for (int i = 0; i < out.elementCount(); ++i) {
        const QPainterPath::Element e = out.elementAt(i);
        const QPointF d = toDevice.map(QPointF(e.x, e.y));
        const QPointF p = back.map(QPointF(std::round(d.x()), std::round(d.y())));
        out.setElementPositionAt(i, p.x(), p.y());
    }
    return out;
}

// Lays `text` out on one line and draws it with its top-left at `origin`.
void drawLine(QPainter& painter, QTextLayout& layout, const QPointF& origin)
{
    QPainterPath glyphs;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        if (raw.familyName() != family()) {
            painter.drawGlyphRun(origin, run);
            continue;
        }
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i)
            glyphs.addPath(raw.pathForGlyph(indexes[i]).translated(origin + positions[i]));
    }
    if (glyphs.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    glyphs.setFillRule(Qt::WindingFill);
    painter.fillPath(snapped(glyphs, painter.deviceTransform()), painter.pen().brush());
    painter.restore();
}

class PixelLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(foregroundRole()));
        drawText(p, contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
    }
};

} // namespace

QString family() { return QStringLiteral("Pemby Pixel"); }

QString fileName() { return QStringLiteral("VodarAzezaza-PembyPixel-Regular.ttf"); }

QByteArray embedded()
{
    initFontResource();
    QFile file(QStringLiteral(":/pemby/") + fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

int install(const QByteArray& bytes, const QString& folder)
{
    const QString path = QDir(folder).filePath(fileName());
    QSaveFile file(path);
    const bool folderThere = QDir().mkpath(folder);
    const bool written = folderThere && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
        && file.commit();
    if (written) {
        const int id = QFontDatabase::addApplicationFont(path);
        if (id >= 0)
            return id;
        qCWarning(lcApp) << "could not register the pixel font from" << path;
    } else {
        // Whatever lies at that path now is not ours to load.
        qCWarning(lcApp) << "could not write the pixel font to" << path << ":"
                         << (folderThere ? file.errorString() : QStringLiteral("the folder cannot be made"));
    }
    return QFontDatabase::addApplicationFontFromData(bytes);
}

void registerFont()
{
    if (registered)
        return;
    const QByteArray bytes = embedded();
    if (bytes.isEmpty()) {
        qCWarning(lcApp) << "the pixel font is missing from the program";
        return;
    }
    registered = true;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    if (install(bytes, folder) < 0)
        qCWarning(lcApp) << "the pixel font could not be registered; the default font stands in";
}

bool isRegistered() { return registered; }

QFont font(int pixelSize)
{
    QFont f(family());
    f.setPixelSize(pixelSize);
    // Its outlines sit on whole pixels at the sizes it is used at; hinting would only
    // move them.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void drawText(QPainter& painter, const QRectF& rect, int flags, const QString& text)
{
    if (drawsCrisp(painter) || text.isEmpty()) {
        painter.drawText(rect, flags, text);
        return;
    }
    // The alignment as drawText reads it: leading is left unless the painter runs right
    // to left.
    Qt::Alignment horizontal = Qt::Alignment(flags) & Qt::AlignHorizontal_Mask;
    if (!(horizontal & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify)))
        horizontal |= Qt::AlignLeft;
    if (!(horizontal & Qt::AlignAbsolute) && painter.layoutDirection() == Qt::RightToLeft
        && (horizontal & (Qt::AlignLeft | Qt::AlignRight)))
        horizontal ^= Qt::AlignLeft | Qt::AlignRight;
    QTextLayout layout(text, painter.font(), painter.device());
    QTextOption option(horizontal | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(painter.layoutDirection());
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(rect.width());
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    qreal y = rect.top();
    if (flags & Qt::AlignVCenter)
        y += (rect.height() - line.height()) / 2;
    else if (flags & Qt::AlignBottom)
        y += rect.height() - line.height();
    drawLine(painter, layout, QPointF(rect.left(), y));
}

void drawText(QPainter& painter, const QPointF& baseline, const QString& text)
{
    if (drawsCrisp(painter) || text.isEmpty()) {
        painter.drawText(baseline, text);
        return;
    }
    QTextLayout layout(text, painter.font(), painter.device());
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(painter.layoutDirection());
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    drawLine(painter, layout, baseline - QPointF(0, line.ascent()));
}

QLabel* label(int pixelSize, QWidget* parent)
{
    auto* l = new PixelLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    l->setFont(font(pixelSize));
    return l;
}

} // namespace PembyFont
