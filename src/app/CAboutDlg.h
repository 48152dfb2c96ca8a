#pragma once

#include <QDialog>

// The about box: one picture, no buttons; it closes through its close box or Esc.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
