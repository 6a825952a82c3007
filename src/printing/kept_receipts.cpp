#include "printing/kept_receipts.h"

#include "common/error_log.h"
#include "common/file_path.h"
#include "common/value_helpers.h"
#include "platform/durable_file.h"
#include "platform/program_folder.h"
#include "session/conversions.h"
#include "session/message_codec.h"

#include <QFile>

#include <cstring>

namespace mereval::printing {
namespace {

constexpr qint16 kBlockField = 1;
constexpr qint16 kStanField = 2;

}  // namespace

QString KeptReceiptsPath() {
    return common::MakeFilePath(platform::ProgramFolder(), QStringLiteral("lastreceipts.bin"));
}

int KeepReceipts(const KeptReceipts& kept) {
    session::MessageCodec codec;
    codec.SetField(kBlockField, kept.block);
    codec.SetField(kStanField, session::LongToBytes(kept.stan));
    const int error = platform::ReplaceDurably(KeptReceiptsPath(), codec.Build());
    if (error != 0) {
        common::LogError(error, QString::fromLocal8Bit(strerror(error)),
                         QStringLiteral("KeepReceipts"), {});
    }
    return error;
}

std::optional<KeptReceipts> LoadKeptReceipts() {
    QFile file(KeptReceiptsPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    session::MessageCodec codec;
    QByteArray rest;
    if (codec.Parse(file.readAll(), rest) != session::MessageCodec::kDecoded) {
        return std::nullopt;
    }
    KeptReceipts kept{codec.GetField(kBlockField, {}),
                      common::LongFromBytes(codec.GetField(kStanField, {}))};
    if (kept.block.isEmpty()) {
        return std::nullopt;
    }
    return kept;
}

}  // namespace mereval::printing
