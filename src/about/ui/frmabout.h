#pragma once
#include <QDialog>

namespace velmora {

// The tabbed About window, opened modally by the main window's About button.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
};

} // namespace velmora
