#pragma once

#include <QDialog>

#include <optional>

#include "link/PortList.h"

class QComboBox;

namespace velmora {

// "Select Port": asked when the port number setting is 0.
class SelectPortDialog : public QDialog {
    Q_OBJECT
public:
    // The adapter with the serial number given is chosen to start with, wherever it is plugged.
    explicit SelectPortDialog(const QList<PortEntry> &ports, const QString &adapterSerial = {},
                              QWidget *parent = nullptr);
    std::optional<PortEntry> chosen() const;

    // Modal choice; nothing on Cancel.
    static std::optional<PortEntry> choose(const QList<PortEntry> &ports, const QString &adapterSerial,
                                           QWidget *parent = nullptr);

private:
    QList<PortEntry> ports_;
    QComboBox *combo_;
};

} // namespace velmora
