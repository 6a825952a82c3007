#include "ui/box_flags.h"

#include <array>

namespace mereval::ui {
namespace {

struct ButtonSet {
    std::array<const char16_t*, 3> captions;
    std::array<quint8, 3> codes;
};

// Sets 6 to 15 are not defined and show a single "OK", like set 0.
ButtonSet ButtonSetOf(qint32 flags) {
    using namespace ButtonCode;
    switch (flags & kButtonSetMask) {
        case 1:
            return {{u"OK", u"Cancel", nullptr}, {kOk, kCancel, kNone}};
        case 2:
            return {{u"Abort", u"Retry", u"Ignore"}, {kAbort, kRetry, kIgnore}};
        case 3:
            return {{u"Yes", u"No", u"Cancel"}, {kYes, kNo, kCancel}};
        case 4:
            return {{u"Yes", u"No", nullptr}, {kYes, kNo, kNone}};
        case 5:
            return {{u"Retry", u"Cancel", nullptr}, {kRetry, kCancel, kNone}};
        default:
            return {{u"OK", nullptr, nullptr}, {kOk, kNone, kNone}};
    }
}

}  // namespace

QStringList ButtonCaptions(qint32 flags) {
    QStringList captions;
    for (const char16_t* caption : ButtonSetOf(flags).captions) {
        if (caption != nullptr) {
            captions.append(QString::fromUtf16(caption));
        }
    }
    return captions;
}

quint8 MapButtonCode(int button, qint32 flags) {
    if (button < 1 || button > 3) {
        return ButtonCode::kNone;
    }
    return ButtonSetOf(flags).codes[static_cast<std::size_t>(button - 1)];
}

BoxIcon IconOf(qint32 flags) {
    switch (flags & kIconMask) {
        case 16:
            return BoxIcon::Critical;
        case 32:
            return BoxIcon::Question;
        case 48:
            return BoxIcon::Exclamation;
        case 64:
            return BoxIcon::Information;
        default:
            return BoxIcon::None;
    }
}

}  // namespace mereval::ui
