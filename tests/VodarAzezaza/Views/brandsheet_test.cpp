// Draws the whole theme into one picture to look at: the palette, every pixel glyph,
// the pixel font at both sizes and the row widgets in each of their states, once light
// and once dark. Written to brand-sheet.png in the working folder (or to
// PEMBY_SHEET_PATH).
#include "appearance.h"
#include "checkbutton.h"
#include "editfield.h"
#include "emptyline.h"
#include "eventrow.h"
#include "markwash.h"
#include "palette.h"
#include "pembyfont.h"
#include "pixelgrid.h"
#include "pixelview.h"
#include "plaintext.h"
#include "reducemotion.h"
#include "ruled.h"
#include "zcount.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <iostream>

namespace {

// A label of the sheet itself.
QLabel* caption(const QString& text, QWidget* parent)
{
    QLabel* label = PlainText::label(text, parent);
    QFont f = label->font();
    f.setPixelSize(11);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Palette::pembyMuted);
    label->setPalette(p);
    return label;
}

class Swatch : public QWidget {
public:
    Swatch(PembyColor color, QWidget* parent) : QWidget(parent), color_(color) { setFixedSize(44, 28); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        // A checker shows what the see-through colours let through.
        for (int y = 0; y < height(); y += 7)
            for (int x = 0; x < width(); x += 7)
                p.fillRect(x, y, 7, 7, ((x + y) / 7) % 2 ? QColor(Palette::pembyRule) : QColor(Palette::pembyBackground));
        p.fillRect(rect(), color_);
        p.setPen(QColor(Palette::pembyFaint));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    PembyColor color_;
};

// A thing row as the columns build it: the mark's wash, the check box, the title, the
// rule.
class SampleRow : public QWidget {
public:
    SampleRow(const QString& title, bool done, std::optional<Mark> mark, QWidget* parent)
        : QWidget(parent), title_(title), mark_(mark)
    {
        setFixedHeight(Ruled::lineHeight);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(2, 0, 4, 0);
        layout->setSpacing(6);
        check = new CheckButton(done, this);
        layout->addWidget(check);
        layout->addStretch();
    }
    CheckButton* check;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        if (mark_)
            p.fillRect(rect(), markWash(*mark_));
        QFont f = font();
        f.setPixelSize(13);
        p.setFont(f);
        p.setPen(check->isDone() ? QColor(Palette::pembyFaint) : QColor(Palette::pembyText));
        p.drawText(QRect(28, 0, width() - 32, height()), Qt::AlignVCenter | Qt::TextSingleLine, title_);
        Ruled::paint(p, rect(), Palette::pembyRule);
    }

private:
    QString title_;
    std::optional<Mark> mark_;
};

// A line of the pixel font, drawn as the headings draw it.
class PixelLine : public QWidget {
public:
    PixelLine(const QString& text, int pixelSize, QWidget* parent) : QWidget(parent), text_(text)
    {
        setFont(PembyFont::font(pixelSize));
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text_) + 2, fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        p.setPen(QColor(Palette::pembyText));
        PembyFont::drawText(p, rect(), Qt::AlignLeft | Qt::AlignVCenter, text_);
    }

private:
    QString text_;
};

class Sheet : public QWidget {
public:
    Sheet()
    {
        setAutoFillBackground(true);
        QPalette bg = palette();
        bg.setColor(QPalette::Window, Palette::pembyBackground);
        setPalette(bg);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(16, 16, 16, 16);
        layout->setSpacing(10);

        layout->addWidget(caption(Appearance::current() == ColorScheme::Dark ? QStringLiteral("dark") : QStringLiteral("light"), this));
        addPalette(layout);
        addGlyphs(layout);
        addFont(layout);
        addRows(layout);
        layout->addStretch();
    }

    QList<CheckButton*> popping;
    QList<EmptyLine*> hovered;
    QList<PixelLine*> fontLines;

private:
    void addPalette(QVBoxLayout* layout)
    {
        using namespace Palette;
        const std::pair<const char*, PembyColor> colours[] = {
            {"paper", paper}, {"ink", ink}, {"yawn", yawn}, {"night", night}, {"stone100", stone100},
            {"stone200", stone200}, {"stone400", stone400}, {"stone600", stone600}, {"stone800", stone800},
            {"snooze", snooze}, {"snoozeDeep", snoozeDeep}, {"ok", ok}, {"oops", oops},
            {"background", pembyBackground}, {"text", pembyText}, {"muted", pembyMuted}, {"faint", pembyFaint},
            {"snooze*", pembySnooze}, {"selection", pembySelection}, {"rule", pembyRule}, {"well", pembyWell},
            {"glassTint", pembyGlassTint}, {"band", pembyBand}, {"otherMonth", pembyOtherMonth},
        };
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(6);
        int i = 0;
        for (const auto& [name, colour] : colours) {
            auto* cell = new QVBoxLayout;
            cell->addWidget(new Swatch(colour, this));
            cell->addWidget(caption(QString::fromLatin1(name), this));
            grid->addLayout(cell, i / 13, i % 13);
            ++i;
        }
        layout->addLayout(grid);
    }

    void addGlyphs(QVBoxLayout* layout)
    {
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        auto add = [&](PixelView* view) {
            view->setForeground(Palette::pembyText);
            row->addWidget(view, 0, Qt::AlignBottom);
        };
        auto* box = new PixelView(Pixels::box(), 3, this);
        box->setForeground(Palette::pembyFaint);
        row->addWidget(box, 0, Qt::AlignBottom);
        row->addWidget(new PixelView(Pixels::boxDone(), 3, Inks::brandFace(), this), 0, Qt::AlignBottom);
        for (const PixelGrid* g : {&Pixels::plus(), &Pixels::focus(), &Pixels::expand(), &Pixels::pin(),
                                   &Pixels::pinOff(), &Pixels::dots(), &Pixels::z()})
            add(new PixelView(*g, 3, this));
        row->addWidget(PixelView::mark(Pixels::markSmall(), 4, this), 0, Qt::AlignBottom);
        for (const PixelGrid& frame : Pixels::yawnFrames())
            row->addWidget(PixelView::mark(frame, 3, this), 0, Qt::AlignBottom);
        for (int n : {1, 2, 3, 7})
            row->addWidget(new ZCount(n, 2, this), 0, Qt::AlignBottom);
        row->addStretch();
        layout->addLayout(row);
    }

    void addFont(QVBoxLayout* layout)
    {
        QString all;
        for (char16_t c = 0x21; c < 0x7f; ++c)
            all.append(QChar(c));
        all += QStringLiteral("\u00b7\u2013\u2014\u2018\u2019\u201c\u201d\u2026");
        for (int px : {20, 30}) {
            const int half = int(all.size()) / 2;
            for (const QString& text : {all.left(half), all.mid(half)}) {
                fontLines.append(new PixelLine(text, px, this));
                layout->addWidget(fontLines.last());
            }
        }
        fontLines.append(new PixelLine(QStringLiteral("mar 31-apr 6   nothing planned. suspicious.   tue 5 mar"), 20, this));
        layout->addWidget(fontLines.last());
    }

    void addRows(QVBoxLayout* layout)
    {
        auto* column = new QVBoxLayout;
        column->setSpacing(0);
        auto* holder = new QWidget(this);
        holder->setFixedWidth(320);
        holder->setLayout(column);
        column->addWidget(new EventRow(QStringLiteral("standup 09:30"), holder));
        column->addWidget(new EventRow(QStringLiteral("a very long calendar event that cannot fit in one column line"), holder));
        column->addWidget(new SampleRow(QStringLiteral("open: buy milk"), false, std::nullopt, holder));
        column->addWidget(new SampleRow(QStringLiteral("done: call mum"), true, std::nullopt, holder));
        auto* pop = new SampleRow(QStringLiteral("popping: just ticked"), false, std::nullopt, holder);
        popping.append(pop->check);
        column->addWidget(pop);
        column->addWidget(new SampleRow(QStringLiteral("<b>markup stays text</b>"), false, Mark::Lavender, holder));
        column->addWidget(new SampleRow(QStringLiteral("green wash"), false, Mark::Green, holder));
        column->addWidget(new SampleRow(QStringLiteral("red wash, done"), true, Mark::Red, holder));
        auto fieldLine = [&](const QString& text, const QString& placeholder) {
            auto* line = new QWidget(holder);
            line->setFixedHeight(Ruled::lineHeight);
            auto* h = new QHBoxLayout(line);
            h->setContentsMargins(2, 0, 4, 0);
            h->setSpacing(6);
            auto* box = new PixelView(Pixels::box(), 2, line);
            box->setForeground(Palette::pembyFaint);
            box->setFixedSize(20, 22);
            h->addWidget(box);
            QFont f = font();
            f.setPixelSize(13);
            h->addWidget(new EditField(text, placeholder, f, true, {}, {}, line));
            column->addWidget(line);
        };
        fieldLine(QStringLiteral("typing a new thing"), QString());
        fieldLine(QString(), QStringLiteral("placeholder"));
        auto* listName = new EditField(QStringLiteral("eventually"), QString(), PembyFont::font(20), false, {}, {}, holder);
        listName->setFixedHeight(Ruled::headerHeight);
        column->addWidget(listName);
        auto* hover = new EmptyLine(holder);
        hovered.append(hover);
        column->addWidget(hover);
        column->addWidget(new EmptyLine(holder));
        layout->addWidget(caption(QStringLiteral("rows: events, open, done, popping, marks, fields, filler lines (hovered, plain)"), this));
        layout->addWidget(holder);
    }
};

void place(Sheet& sheet)
{
    sheet.resize(sheet.sizeHint().expandedTo(QSize(900, 0)));
    sheet.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&sheet));
}

QString picturePath(const QString& name)
{
    const QString path = qEnvironmentVariableIsSet("PEMBY_SHEET_PATH") ? qEnvironmentVariable("PEMBY_SHEET_PATH")
                                                                       : QDir::current().filePath(QStringLiteral("brand-sheet.png"));
    return name.isEmpty() ? path : QFileInfo(path).dir().filePath(name);
}

QImage render(ColorScheme scheme)
{
    Appearance appearance({scheme, nullptr, {}});
    appearance.makeAppWide();
    QCoreApplication::processEvents();
    Sheet sheet;
    place(sheet);
    for (EmptyLine* line : sheet.hovered) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), line->mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(line, &enter);
    }
    QTest::qWait(EmptyLine::fadeMs + 50);
    for (CheckButton* check : sheet.popping)
        QTest::mouseClick(check, Qt::LeftButton);
    return sheet.grab().toImage();
}

} // namespace

TEST(BrandSheet, DrawsEveryGlyphThePaletteAndTheRowsLightAndDark)
{
    ReduceMotion::setForTesting(false);
    PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    const QImage light = render(ColorScheme::Light);
    const QImage dark = render(ColorScheme::Dark);
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));

    QImage sheet(light.width() + dark.width(), std::max(light.height(), dark.height()), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.drawImage(0, 0, light);
    p.drawImage(light.width(), 0, dark);
    p.end();

    const QString path = picturePath(QString());
    ASSERT_TRUE(sheet.save(path));
    std::cout << "brand sheet: " << path.toStdString() << '\n';
    EXPECT_EQ(light.pixel(2, 2), Palette::paper.light().rgb());
    EXPECT_EQ(dark.pixel(2, 2), Palette::ink.light().rgb());
}

// At a scale where one pixel of the font is no whole number of device pixels, its
// glyphs still land on whole device pixels: every pixel of a line is ink or paper.
TEST(BrandSheet, ThePixelFontStaysCrispAtFractionalScales)
{
    ReduceMotion::setForTesting(true);
    PembyFont::install(PembyFont::embedded(), QDir::tempPath());
    Appearance appearance({ColorScheme::Light, nullptr, {}});
    appearance.makeAppWide();
    Sheet sheet;
    place(sheet);
    const QRgb paper = Palette::pembyBackground.light().rgb();
    const QRgb ink = Palette::pembyText.light().rgb();
    for (const qreal scale : {1.25, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        QImage picture((QSizeF(sheet.size()) * scale).toSize(), QImage::Format_RGB32);
        picture.setDevicePixelRatio(scale);
        sheet.render(&picture);
        const QString name = QStringLiteral("brand-sheet-%1x.png").arg(scale);
        EXPECT_TRUE(picture.save(picturePath(name)));
        std::cout << "brand sheet at " << scale << "x: " << picturePath(name).toStdString() << '\n';
        for (const PixelLine* line : std::as_const(sheet.fontLines)) {
            const QRectF logical(line->mapTo(&sheet, QPoint(0, 0)), line->size());
            const QRect device = QRectF(logical.topLeft() * scale, logical.size() * scale).toAlignedRect().adjusted(1, 1, -1, -1);
            int inked = 0;
            int grey = 0;
            for (int y = device.top(); y <= device.bottom(); ++y) {
                for (int x = device.left(); x <= device.right(); ++x) {
                    const QRgb pixel = picture.pixel(x, y) | 0xff000000;
                    inked += pixel == ink;
                    grey += pixel != ink && pixel != paper;
                }
            }
            EXPECT_GT(inked, 100);
            EXPECT_EQ(grey, 0) << "a line of " << line->font().pixelSize() << " px";
        }
    }
    QApplication::setPalette(Appearance::widgetPalette(ColorScheme::Light));
}
