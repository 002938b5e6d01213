// The standard error display: what the operator sees when an error escapes the window's creation,
// one of its handlers, or the message loop.
#pragma once

#include <QString>

class QWidget;

// A modal box with the message, the application's display name as caption, an error symbol and
// an OK button; returns when the operator closes it.
void ShowErrorDisplay(const QString& message, QWidget* parent = nullptr);

// The message of the exception being handled; call only inside a catch block.
QString CurrentErrorMessage();
