#include "randomuuid.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QtEndian>

#include <array>

namespace pemby {

namespace {

// xoshiro256**: 256 bits of state, far more than the ids a session makes could
// exhaust, and a few instructions per 64 bits.
class Xoshiro256 {
public:
    Xoshiro256()
    {
        // All zeros is the one state it cannot leave; the system never gives that.
        do {
            QRandomGenerator::system()->fillRange(s_.data(), s_.size());
        } while (s_[0] == 0 && s_[1] == 0 && s_[2] == 0 && s_[3] == 0);
    }

    quint64 next()
    {
        const quint64 result = rotl(s_[1] * 5, 7) * 9;
        const quint64 t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    std::array<quint64, 4> s_{};
};

} // namespace

QUuid randomUuid()
{
    // One generator per thread: notes may be decoded away from the main thread.
    thread_local Xoshiro256 generator;
    std::array<uchar, 16> bytes;
    qToBigEndian(generator.next(), bytes.data());
    qToBigEndian(generator.next(), bytes.data() + 8);
    bytes[6] = uchar((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = uchar((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return QUuid::fromRfc4122(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

} // namespace pemby
