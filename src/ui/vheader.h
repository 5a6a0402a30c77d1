#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>

namespace veltrane {

// The text window of the inspection commands: headers, a message's text, or the reasons for a mark.
// The text may be changed in the window, but nothing of it is kept.
class TfrmViewHeader final : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Headers, Reasons, Body };

    TfrmViewHeader(Mode mode, const QString& text, QWidget* parent = nullptr);
    static QString titleFor(Mode mode);

    QLabel* lblTitle;
    QPlainTextEdit* Memo1;
};

} // namespace veltrane
