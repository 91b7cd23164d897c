#pragma once

#include <QDialog>

namespace velmora {

// "About": the product's name and version. Shown non-modal, so the main window stays
// usable; it deletes itself when closed.
class TForm_About : public QDialog {
    Q_OBJECT
public:
    explicit TForm_About(QWidget *parent = nullptr);
};

} // namespace velmora
