#pragma once
// Fresh random UUIDs for things, notes and rows, made by the thousand when a plan is
// read whole: a fast generator per thread, seeded once from the system's entropy,
// rather than an entropy call per id.
#include <QUuid>

namespace pemby {

// A version 4 (random) UUID with the RFC 4122 variant, as QUuid::createUuid makes.
QUuid randomUuid();

} // namespace pemby
