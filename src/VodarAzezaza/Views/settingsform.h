#pragma once
// The settings window: the week's first day, the shared weekend column, the calendar
// events, and the planner folder with "Show in File Manager" and "Choose…". Every
// control writes straight through to the model; there is nothing to apply or cancel.
//
// API
//   SettingsForm form([&] { app.chooseFolder(); });
//   form.setModel(model);                   and again after the model is replaced
//
// Controls follow the model quietly: only a person's pick or click reaches it.

#include <QPointer>
#include <QWidget>

#include <functional>

class AppModel;
class QCheckBox;
class QComboBox;
class QTextEdit;
class QPushButton;

class SettingsForm : public QWidget {
    Q_OBJECT
public:
    explicit SettingsForm(std::function<void()> chooseFolder, QWidget* parent = nullptr);

    void setModel(AppModel* model);

    QComboBox* weekStart() const { return weekStart_; }
    QCheckBox* splitWeekend() const { return splitWeekend_; }
    QCheckBox* showCalendar() const { return showCalendar_; }
    QTextEdit* folderPath() const { return folder_; }
    QPushButton* showFolder() const { return showFolder_; }
    QPushButton* choose() const { return choose_; }

    // Opens a folder with the desktop's file manager; the desktop's answer is not
    // looked at. Tests put a recorder here.
    std::function<void(const QString& folder)> openFolder;

    static constexpr int formWidth = 460;

private:
    void refresh();

    std::function<void()> chooseFolder_;
    QPointer<AppModel> model_;
    QList<QMetaObject::Connection> connections_;
    QComboBox* weekStart_;
    QCheckBox* splitWeekend_;
    QCheckBox* showCalendar_;
    QTextEdit* folder_;
    QPushButton* showFolder_;
    QPushButton* choose_;
};
