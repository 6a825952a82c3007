#pragma once

#include <QStringList>
#include <QtGlobal>

namespace mereval::ui {

// Answer codes of the box buttons, sent to the payment system unchanged.
namespace ButtonCode {
inline constexpr quint8 kNone = 0;
inline constexpr quint8 kOk = 1;
inline constexpr quint8 kCancel = 2;
inline constexpr quint8 kAbort = 3;
inline constexpr quint8 kRetry = 4;
inline constexpr quint8 kIgnore = 5;
inline constexpr quint8 kYes = 6;
inline constexpr quint8 kNo = 7;
}  // namespace ButtonCode

// The flag bits of a box, in the classic message-box layout.
inline constexpr qint32 kButtonSetMask = 15;
inline constexpr qint32 kIconMask = 112;
inline constexpr qint32 kSecondButtonDefault = 256;
inline constexpr qint32 kThirdButtonDefault = 512;

enum class BoxIcon { None, Critical, Question, Exclamation, Information };

// The captions of the button set that the flags name, first button first.
QStringList ButtonCaptions(qint32 flags);

// The answer code of button 1 to 3 under the flags' button set; 0 for a
// button the set does not have.
quint8 MapButtonCode(int button, qint32 flags);

BoxIcon IconOf(qint32 flags);

}  // namespace mereval::ui
