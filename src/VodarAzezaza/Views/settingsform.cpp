#include "settingsform.h"

#include "appmodel.h"
#include "plaintext.h"
#include "plannersettings.h"

#include <array>

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The week starts the form offers: the system's, then Sunday, Monday and Saturday.
constexpr std::array<std::pair<const char*, int>, 4> weekStarts{
    {{"Whatever this computer says", 0}, {"Sunday", 1}, {"Monday", 2}, {"Saturday", 7}}};

QLabel* smallPrint(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QFont f = label->font();
    f.setPixelSize(11);
    label->setFont(f);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

SettingsForm::SettingsForm(std::function<void()> chooseFolder, QWidget* parent)
    : QWidget(parent)
    , openFolder([](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); })
    , chooseFolder_(std::move(chooseFolder))
    , weekStart_(new QComboBox(this))
    , splitWeekend_(new QCheckBox(QStringLiteral("The weekend shares a column"), this))
    , showCalendar_(new QCheckBox(QStringLiteral("Show calendar events"), this))
    , folder_(new QTextEdit(this))
    , showFolder_(new QPushButton(QStringLiteral("Show in File Manager"), this))
    , choose_(new QPushButton(QStringLiteral("Choose…"), this))
{
    setWindowTitle(QStringLiteral("Settings"));
    setObjectName(QStringLiteral("settings"));

    for (const auto& [text, value] : weekStarts)
        weekStart_->addItem(QString::fromUtf8(text), value);

    // The path as the file system writes it: plain text, selectable and copied whole,
    // broken anywhere (a path has no spaces to break at) and cut after two lines.
    folder_->setReadOnly(true);
    folder_->setAcceptRichText(false);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    folder_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    folder_->setFrameShape(QFrame::NoFrame);
    folder_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    folder_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    folder_->viewport()->setAutoFillBackground(false);
    folder_->setContextMenuPolicy(Qt::DefaultContextMenu);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(11);
    folder_->setFont(mono);
    folder_->document()->setDocumentMargin(0);
    QPalette muted = folder_->palette();
    muted.setColor(QPalette::Text, muted.color(QPalette::PlaceholderText));
    muted.setColor(QPalette::Base, Qt::transparent);
    folder_->setPalette(muted);
    folder_->setFixedHeight(2 * QFontMetrics(mono).lineSpacing() + 1);
    folder_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttons->addWidget(showFolder_);
    buttons->addWidget(choose_);
    auto* place = new QVBoxLayout;
    place->setSpacing(6);
    place->addWidget(folder_);
    place->addLayout(buttons);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft);
    form->addRow(QStringLiteral("Week starts on"), weekStart_);
    form->addRow(splitWeekend_);
    form->addRow(showCalendar_);
    form->addRow(smallPrint(
        QStringLiteral("Read only. The app never writes to your calendar, and nothing leaves this computer."), this));
    form->addRow(QStringLiteral("Your plan lives in"), place);
    form->addRow(smallPrint(
        QStringLiteral("Plain Markdown, one file per week. Put the folder in a synced folder and it syncs."), this));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 20);
    outer->addLayout(form);
    // As wide as the form is, and exactly as tall as its rows need at that width.
    setFixedWidth(formWidth);
    setFixedHeight(outer->totalHeightForWidth(formWidth));

    connect(weekStart_, &QComboBox::activated, this, [this](int index) {
        if (model_ && index >= 0)
            model_->settings().setFirstWeekdaySetting(weekStart_->itemData(index).toInt());
    });
    connect(splitWeekend_, &QCheckBox::clicked, this, [this](bool on) {
        if (model_)
            model_->settings().setSplitWeekend(on);
    });
    connect(showCalendar_, &QCheckBox::clicked, this, [this](bool on) {
        if (model_)
            model_->settings().setShowCalendar(on);
    });
    connect(showFolder_, &QPushButton::clicked, this, [this] {
        if (model_ && openFolder)
            openFolder(model_->store().folder());
    });
    connect(choose_, &QPushButton::clicked, this, [this] {
        if (chooseFolder_)
            chooseFolder_();
    });
}

void SettingsForm::setModel(AppModel* model)
{
    for (const auto& c : std::as_const(connections_))
        disconnect(c);
    connections_.clear();
    model_ = model;
    if (model) {
        const auto follow = [this](const ModelChanges& changes) {
            if (changes.containsAny({&PlannerSettings::firstWeekdaySettingChanged, &PlannerSettings::splitWeekendChanged,
                                     &PlannerSettings::showCalendarChanged}))
                refresh();
        };
        connections_.append(connect(&model->transitions(), &ModelTransitions::ended, this, follow));
    }
    refresh();
}

void SettingsForm::refresh()
{
    if (!model_)
        return;
    // A week start the form does not offer (written by someone else) selects nothing.
    weekStart_->setCurrentIndex(weekStart_->findData(model_->settings().firstWeekdaySetting()));
    splitWeekend_->setChecked(model_->settings().splitWeekend());
    showCalendar_->setChecked(model_->settings().showCalendar());
    const QString path = QDir::toNativeSeparators(model_->store().folder());
    if (folder_->toPlainText() != path) {
        folder_->setPlainText(path);
        QTextCursor all(folder_->document());
        all.select(QTextCursor::Document);
        QTextBlockFormat trailing;
        trailing.setAlignment(Qt::AlignRight);
        all.mergeBlockFormat(trailing);
    }
    folder_->setToolTip(PlainText::toolTip(path));
}
