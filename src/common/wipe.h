#pragma once

#include <QByteArray>
#include <QString>

namespace mereval::common {

// Overwrites the text in place and empties it, so that card data does not
// linger in freed memory. A buffer still shared with another holder is left
// to that holder, the last one, to wipe.
void Wipe(QByteArray& bytes);
void Wipe(QString& text);

}  // namespace mereval::common
