// ElidedLabel: a one-line label for paths and status texts that may be longer than its panel.
// The text is drawn elided in the middle and shown whole in the tooltip when it does not fit.
// The text is set with the plain QLabel::setText (the instances' texts are posted that way),
// so eliding happens at paint time. Main thread only, like every widget.
#pragma once

#include <QLabel>

class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text as drawn at the label's current width.
    QString shownText() const;

    // Any width will do: the text elides instead of widening the panel.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};
