#pragma once
// A one-pixel rule in the rule colour between two parts of a screen or a sheet.
//
// API
//   layout->addWidget(new RuleLine(Qt::Horizontal, this));   under a header
//   layout->addWidget(new RuleLine(Qt::Vertical, this));     between two columns

#include <QWidget>

class RuleLine : public QWidget {
public:
    RuleLine(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
