// The about box: the program's icon, name and version, and the folder the program
// was started in.
#pragma once

#include <QDialog>

class QLabel;

namespace zentra {

inline constexpr const char* kAboutCaption = "About Zentra";
inline constexpr const char* kVersionText = "Zentra, Version 2.0.0.2";
inline constexpr const char* kWorkingDirectoryLabel = "Working Directory:";

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // The text shown under "Working Directory:" (control 1001).
    void SetWorkingDirectory(const QString& folder);
    QString WorkingDirectory() const;

    // The process's current working directory, in the platform's own notation.
    static QString CurrentWorkingDirectory();

  private:
    QLabel* directory_ = nullptr;
};

} // namespace zentra
