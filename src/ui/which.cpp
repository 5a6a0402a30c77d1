#include "ui/which.h"

#include "ui/uitext.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrane {

TfrmWhichMailbox::TfrmWhichMailbox(const std::vector<std::string>& entries, int preselected, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmWhichMailbox");
    setWindowTitle(QStringLiteral("Which Mail Box?"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Which mailbox do you wish to check?")));
    cbWhich = new QComboBox;
    cbWhich->setEditable(false);
    for (const std::string& entry : entries)
        cbWhich->addItem(shownText(entry));
    cbWhich->setCurrentIndex(preselected >= 0 && preselected < cbWhich->count() ? preselected : -1);
    cbWhich->setMinimumContentsLength(40);
    layout->addWidget(cbWhich);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::optional<int> TfrmWhichMailbox::choose(const std::vector<std::string>& entries, int preselected, QWidget* parent) {
    TfrmWhichMailbox dialog(entries, preselected, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.cbWhich->currentIndex();
}

} // namespace veltrane
