#include "typography.h"

#include "textdocument.h"

namespace {

struct RoleMetrics {
    qreal size, kern, lineSpacing, spaceBefore, spaceAfter;
};

RoleMetrics metrics(TextRole role)
{
    switch (role) {
    case TextRole::title: return {28, -0.5, 2, 0, 10};
    case TextRole::heading: return {21, -0.3, 2, 12, 6};
    case TextRole::subheading: return {17, -0.1, 2, 8, 4};
    case TextRole::body: break;
    }
    return {Typography::bodySize, 0, 5, 0, 6};
}

constexpr qreal listIndent = 24;

} // namespace

bool ParagraphStyle::sameLayout(const ParagraphStyle& o) const
{
    return direction == o.direction && alignment == o.alignment && lineSpacing == o.lineSpacing
        && spaceAfter == o.spaceAfter && spaceBefore == o.spaceBefore && headIndent == o.headIndent
        && firstLineHeadIndent == o.firstLineHeadIndent && clips == o.clips
        && tabStops.size() == o.tabStops.size();
}

// Qt keeps margins on absolute sides and puts the first-line indent on the leading
// one, so the head indent goes to the right margin in right-to-left paragraphs.
std::optional<ParagraphStyle> ParagraphStyle::of(const QTextBlockFormat& f)
{
    if (!f.hasProperty(QTextFormat::LayoutDirection) || f.layoutDirection() == Qt::LayoutDirectionAuto)
        return std::nullopt;
    ParagraphStyle s;
    s.direction = f.layoutDirection() == Qt::RightToLeft ? TextDirection::rtl : TextDirection::ltr;
    const Qt::Alignment a = f.alignment();
    if (a & Qt::AlignJustify)
        s.alignment = Alignment::justified;
    else if (a & Qt::AlignHCenter)
        s.alignment = Alignment::center;
    else if (a & Qt::AlignRight)
        s.alignment = Alignment::right;
    else if ((a & Qt::AlignLeft) && (a & Qt::AlignAbsolute))
        s.alignment = Alignment::left;
    if (f.lineHeightType() == QTextBlockFormat::LineDistanceHeight)
        s.lineSpacing = f.lineHeight();
    s.spaceBefore = f.topMargin();
    s.spaceAfter = f.bottomMargin();
    s.headIndent = s.direction == TextDirection::rtl ? f.rightMargin() : f.leftMargin();
    s.firstLineHeadIndent = s.headIndent + f.textIndent();
    s.clips = f.nonBreakableLines();
    for (const QTextOption::Tab& tab : f.tabPositions())
        s.tabStops.append(tab.position);
    s.defaultTabInterval = f.doubleProperty(DefaultTabIntervalProperty);
    return s;
}

void ParagraphStyle::applyTo(QTextBlockFormat& f) const
{
    for (int p : {int(QTextFormat::LayoutDirection), int(QTextFormat::BlockAlignment),
                  int(QTextFormat::LineHeight), int(QTextFormat::LineHeightType),
                  int(QTextFormat::BlockTopMargin), int(QTextFormat::BlockBottomMargin),
                  int(QTextFormat::BlockLeftMargin), int(QTextFormat::BlockRightMargin),
                  int(QTextFormat::TextIndent), int(QTextFormat::BlockNonBreakableLines),
                  int(QTextFormat::TabPositions), int(DefaultTabIntervalProperty)})
        f.clearProperty(p);

    f.setLayoutDirection(direction == TextDirection::rtl ? Qt::RightToLeft : Qt::LeftToRight);
    switch (alignment) {
    case Alignment::natural: f.setAlignment(Qt::AlignLeading); break;
    case Alignment::left: f.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute); break;
    case Alignment::right: f.setAlignment(Qt::AlignRight | Qt::AlignAbsolute); break;
    case Alignment::center: f.setAlignment(Qt::AlignHCenter); break;
    case Alignment::justified: f.setAlignment(Qt::AlignJustify); break;
    }
    if (lineSpacing != 0)
        f.setLineHeight(lineSpacing, QTextBlockFormat::LineDistanceHeight);
    if (spaceBefore != 0)
        f.setTopMargin(spaceBefore);
    if (spaceAfter != 0)
        f.setBottomMargin(spaceAfter);
    if (headIndent != 0) {
        if (direction == TextDirection::rtl)
            f.setRightMargin(headIndent);
        else
            f.setLeftMargin(headIndent);
    }
    if (firstLineHeadIndent != headIndent)
        f.setTextIndent(firstLineHeadIndent - headIndent);
    if (clips)
        f.setNonBreakableLines(true);
    if (!tabStops.isEmpty()) {
        QList<QTextOption::Tab> tabs;
        for (qreal position : tabStops)
            tabs.append(QTextOption::Tab(position, QTextOption::LeftTab));
        f.setTabPositions(tabs);
    }
    if (defaultTabInterval != 0)
        f.setProperty(DefaultTabIntervalProperty, defaultTabInterval);
}

qreal Typography::size(TextRole role)
{
    return metrics(role).size;
}

qreal Typography::kern(TextRole role)
{
    return metrics(role).kern;
}

TextRole Typography::role(qreal pointSize)
{
    if (pointSize >= 26.5)
        return TextRole::title;
    if (pointSize >= 19.5)
        return TextRole::heading;
    if (pointSize >= 16.5)
        return TextRole::subheading;
    return TextRole::body;
}

TextRole Typography::role(const QTextCharFormat& format)
{
    return pemby::hasFont(format) ? role(format.fontPointSize()) : TextRole::body;
}

bool Typography::isBold(const QTextCharFormat& format)
{
    return format.fontWeight() >= QFont::DemiBold;
}

bool Typography::isItalic(const QTextCharFormat& format)
{
    return format.fontItalic();
}

QFont Typography::font(TextRole role, std::optional<bool> bold, bool italic)
{
    QFont::Weight weight = QFont::Normal;
    switch (role) {
    case TextRole::title: weight = bold.value_or(true) ? QFont::Bold : QFont::Normal; break;
    case TextRole::heading:
    case TextRole::subheading: weight = bold.value_or(true) ? QFont::DemiBold : QFont::Normal; break;
    case TextRole::body: weight = bold.value_or(false) ? QFont::Bold : QFont::Normal; break;
    }
    QFont f;
    f.setPointSizeF(size(role));
    f.setWeight(weight);
    f.setItalic(italic);
    return f;
}

QFont Typography::dividerFont()
{
    static const QFont font = [] {
        QFont f;
        f.setPointSizeF(10);
        f.setWeight(QFont::Light);
        f.setItalic(false);
        return f;
    }();
    return font;
}

ParagraphStyle Typography::paragraphStyle(TextRole role, const ParagraphKind& kind, TextDirection direction)
{
    const RoleMetrics m = metrics(role);
    ParagraphStyle s;
    s.direction = direction;
    s.alignment = ParagraphStyle::Alignment::natural;
    s.lineSpacing = m.lineSpacing;
    s.spaceBefore = m.spaceBefore;
    s.spaceAfter = m.spaceAfter;
    if (kind.isList()) {
        // The marker's TAB jumps to the indent, and wrapped lines align under the item text.
        s.firstLineHeadIndent = 0;
        s.headIndent = listIndent;
        s.tabStops = {listIndent};
        s.defaultTabInterval = listIndent;
        s.spaceAfter = 3;
    } else if (kind.type == ParagraphKind::Type::divider) {
        // The 300 box-drawing characters are cut at the edge, never wrapped.
        s.direction = TextDirection::ltr;
        s.alignment = ParagraphStyle::Alignment::left;
        s.clips = true;
        s.lineSpacing = 0;
        s.spaceBefore = 8;
        s.spaceAfter = 8;
    }
    return s;
}

QBrush Typography::textColor()
{
    return QBrush();
}

QBrush Typography::tertiaryLabelColor()
{
    return QBrush(QColor(128, 128, 128, 140));
}

TextAttributes Typography::dividerAttributes()
{
    TextAttributes a;
    pemby::setRunFont(a.character, dividerFont());
    pemby::setRunKern(a.character, 0);
    pemby::setRunColor(a.character, tertiaryLabelColor());
    a.paragraph = paragraphStyle(TextRole::body, ParagraphKind::divider(), TextDirection::ltr);
    return a;
}

TextAttributes Typography::attributes(TextRole role, std::optional<bool> bold, bool italic,
                                      const ParagraphKind& kind, TextDirection direction, const QBrush& color)
{
    TextAttributes a;
    pemby::setRunFont(a.character, font(role, bold, italic));
    pemby::setRunKern(a.character, kern(role));
    pemby::setRunColor(a.character, color);
    a.paragraph = paragraphStyle(role, kind, direction);
    return a;
}
