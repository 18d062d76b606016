// Korvane's message boxes. They go through one sink so that tests, which
// cannot press a button, can read what the user would have been told.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace korvane {

using MessageSink = std::function<void(const QString& text)>;

// Shows a warning box over `parent`, or hands the text to the test sink.
void ShowWarning(QWidget* parent, const QString& text);
// Shows a plain message box with an OK button, or hands the text to the sink.
void ShowMessage(QWidget* parent, const QString& text);
// Replaces the boxes by `sink`; an empty sink brings the boxes back.
void SetMessageSink(MessageSink sink);

// A question with "Oui" and "Non"; true for "Oui". With a question sink the
// sink answers; with only a message sink the text goes there and the answer
// is "Non".
bool AskYesNo(QWidget* parent, const QString& text);
using QuestionSink = std::function<bool(const QString& text)>;
void SetQuestionSink(QuestionSink sink);

}  // namespace korvane
