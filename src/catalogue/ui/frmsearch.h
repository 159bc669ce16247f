#pragma once
#include <QDialog>

namespace velmora {

// "Velmora Music Search": asks for the words; its only output is strSearchWord.
class frmSearch : public QDialog
{
    Q_OBJECT
public:
    explicit frmSearch(QWidget *parent = nullptr);
};

} // namespace velmora
