#include "common/computer_name_text.h"

#include <array>

namespace mereval::common {

QString ComputerNameText(ComputerNameQuery query) {
    std::array<char, 2048> buffer{};
    const qsizetype length = query(buffer.data(), static_cast<qsizetype>(buffer.size()));
    if (length < 1 || length > static_cast<qsizetype>(buffer.size())) {
        return QStringLiteral(" <> ");
    }
    return QString::fromLocal8Bit(buffer.data(), length);
}

}  // namespace mereval::common
