#pragma once

#include <QString>
#include <QtGlobal>

namespace mereval::ui {

// Where the answers of question and input boxes go: the main window, which
// hands them to the payment session.
class BoxAnswerSink {
public:
    virtual ~BoxAnswerSink() = default;

    virtual void ButtonResponse(quint8 buttonCode) = 0;
    virtual void InputResponse(quint8 buttonCode, const QString& text) = 0;
};

}  // namespace mereval::ui
