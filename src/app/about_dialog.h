#pragma once

#include <QDialog>

namespace varno::app {

// "About VARNO": icon, version, a notice line and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace varno::app
