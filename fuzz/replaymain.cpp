// Replays a fuzz target's kept corpus (every input that once failed among them)
// through the target's own checks, as an ordinary test of the suite.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// A target that needs more than a core application sets it up here, as libFuzzer
// would have it do.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

TEST(FuzzCorpus, EveryKeptInputPassesTheChecks)
{
    QDirIterator it(QStringLiteral(PEMBY_FUZZ_CORPUS), QDir::Files, QDirIterator::Subdirectories);
    int inputs = 0;
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QByteArray bytes = file.readAll();
        SCOPED_TRACE(file.fileName().toStdString());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        ++inputs;
    }
    EXPECT_GT(inputs, 0) << "no corpus in " PEMBY_FUZZ_CORPUS;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (LLVMFuzzerInitialize) {
        LLVMFuzzerInitialize(&argc, &argv);
        return RUN_ALL_TESTS();
    }
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
