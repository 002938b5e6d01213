#include "app/errordisplay.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <exception>

void ShowErrorDisplay(const QString& message, QWidget* parent) {
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), message,
                    QMessageBox::Ok, parent);
    // Messages carry file paths; a "<" in one must not turn the text into markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QString CurrentErrorMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unbekannter Fehler");
    }
}
