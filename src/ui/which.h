#pragma once

#include <QComboBox>
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

// Which mailbox to check, when more than one is configured.
class TfrmWhichMailbox final : public QDialog {
    Q_OBJECT
public:
    // `entries` are the lines "%d) Mailbox %s - Server %s"; `preselected` the one shown first (-1: none).
    TfrmWhichMailbox(const std::vector<std::string>& entries, int preselected, QWidget* parent = nullptr);

    // The index of the chosen entry (-1 when none was chosen), or nothing when cancelled.
    static std::optional<int> choose(const std::vector<std::string>& entries, int preselected,
                                     QWidget* parent = nullptr);

    QComboBox* cbWhich;
};

} // namespace veltrane
