#include <QApplication>
#include <QFileDialog>
#include <QStringList>

#include "framework/qt/QtBackend.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"

namespace qtback {

QString FileDialogFilter(const rtl::AnsiString& Filter) {
    const QStringList parts = AnsiToQString(Filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& m : masks) {
            m = m.trimmed();
            if (m == QLatin1String("*.*")) m = QStringLiteral("*");
        }
        out << parts[i] + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

bool OpenFileDialog(rtl::AnsiString& FileName, const rtl::AnsiString& Title, const rtl::AnsiString& Filter,
                    const rtl::AnsiString& InitialDir) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw rtl::EInvalidOperation("The file dialog needs a QApplication");
    // The user answers in Qt's own loop; the model's windows keep what they showed.
    const QString chosen = QFileDialog::getOpenFileName(nullptr, AnsiToQString(Title), AnsiToQString(InitialDir),
                                                        FileDialogFilter(Filter));
    if (chosen.isEmpty()) return false;
    const std::u16string w = chosen.toStdU16String();
    for (char16_t c : w)
        if (!rtl::WideCharInAnsi(c))
            throw rtl::EInvalidOperation("The file name cannot be written in the program's code page: " +
                                         rtl::UTF8ToAnsi(chosen.toUtf8().toStdString()));
    FileName = rtl::WideToAnsi(w);
    return true;
}

}  // namespace qtback

#include <QMessageBox>

#include "framework/ui/Forms.h"

namespace qtback {

int ShowMessageBox(const rtl::AnsiString& Text, const rtl::AnsiString& Caption, unsigned Flags) {
    QMessageBox box;
    box.setWindowTitle(AnsiToQString(Caption));
    box.setText(AnsiToQString(Text));
    switch (Flags & 0xF0) {
        case ui::MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
        case ui::MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case ui::MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
        case ui::MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: break;
    }
    switch (Flags & 0x0F) {
        case ui::MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case ui::MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case ui::MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case ui::MB_YESNOTOALL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll | QMessageBox::NoToAll);
            box.setEscapeButton(QMessageBox::No);
            break;
        default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel: return ui::IDCANCEL;
        case QMessageBox::Yes: return ui::IDYES;
        case QMessageBox::No: return ui::IDNO;
        case QMessageBox::YesToAll: return ui::IDYESTOALL;
        case QMessageBox::NoToAll: return ui::IDNOTOALL;
        case QMessageBox::Ok: return ui::IDOK;
        default:
            // Closed without a button: what Escape chooses.
            if ((Flags & 0x0F) == ui::MB_YESNO || (Flags & 0x0F) == ui::MB_YESNOTOALL) return ui::IDNO;
            if ((Flags & 0x0F) == ui::MB_OK) return ui::IDOK;
            return ui::IDCANCEL;
    }
}

void InstallMessageBox() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw rtl::EInvalidOperation("The message box needs a QApplication");
    ui::Application()->MessageBoxHandler = ShowMessageBox;
}

}  // namespace qtback
