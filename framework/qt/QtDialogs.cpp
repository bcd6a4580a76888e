#include <QApplication>
#include <QFileDialog>
#include <QStringList>

#include "framework/qt/QtBackend.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"

namespace qtback {

namespace {

// "Text|*.txt;*.csv|All|*.*" becomes "Text (*.txt *.csv);;All (*)".
QString QtFilter(const rtl::AnsiString& Filter) {
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

}  // namespace

bool OpenFileDialog(rtl::AnsiString& FileName, const rtl::AnsiString& Title, const rtl::AnsiString& Filter,
                    const rtl::AnsiString& InitialDir) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw rtl::EInvalidOperation("The file dialog needs a QApplication");
    // The user answers in Qt's own loop; the model's windows keep what they showed.
    const QString chosen = QFileDialog::getOpenFileName(nullptr, AnsiToQString(Title), AnsiToQString(InitialDir),
                                                        QtFilter(Filter));
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
