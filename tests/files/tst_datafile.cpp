#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "files/datafile.h"

using kx::datafile::Form;
using kx::datafile::ReadStatus;
using Codes = std::vector<double>;

Q_DECLARE_METATYPE(Form)
Q_DECLARE_METATYPE(ReadStatus)

namespace {

std::string Lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\r\n";
    return text;
}

Codes Buffer(Codes codes) {
    codes.insert(codes.begin(), 0.0);
    return codes;
}

// The same codes as a run holds them.
std::vector<int32_t> Ints(const Codes& codes) {
    return {codes.begin(), codes.end()};
}

}  // namespace

class DataFileTest : public QObject {
    Q_OBJECT

private slots:
    void writesOneLinePerCode_data() {
        QTest::addColumn<Form>("form");
        QTest::addColumn<Codes>("codes");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("decimal") << Form::Decimal << Codes{0, 8388620, 5, -2147483648.0}
                                 << QByteArray(" 0\r\n 8388620\r\n 5\r\n-2147483648\r\n");
        QTest::newRow("hex") << Form::Hex << Codes{0, 8388620, 255, 16777215, -2147483648.0, -1}
                             << QByteArray(
                                    "0\r\n80000C\r\nFF\r\nFFFFFF\r\n80000000\r\nFFFFFFFF\r\n");
        QTest::newRow("empty run") << Form::Hex << Codes{} << QByteArray();
    }
    void writesOneLinePerCode() {
        QFETCH(Form, form);
        QFETCH(Codes, codes);
        QFETCH(QByteArray, bytes);
        QCOMPARE(QByteArray::fromStdString(kx::datafile::RunText(Ints(codes), form)), bytes);
    }

    void roundTripOf5000Codes_data() {
        QTest::addColumn<Form>("form");
        QTest::newRow("decimal") << Form::Decimal;
        QTest::newRow("hex") << Form::Hex;
    }
    void roundTripOf5000Codes() {
        QFETCH(Form, form);
        std::mt19937 random(3105);
        Codes codes{0, 16777215, 8388608, 1};
        while (codes.size() < 5000)
            codes.push_back(double(random() % 16777216));
        codes[10] = -2147483648.0;  // a timed-out read
        codes[11] = -1;
        QTemporaryDir dir;
        const std::filesystem::path path = dir.filePath("run.dat").toStdString();
        QCOMPARE(kx::datafile::WriteRunFile(path, Ints(codes), form),
                 kx::datafile::WriteStatus::Written);

        const kx::datafile::ReadResult result = kx::datafile::ReadRunFile(path, form);
        QCOMPARE(result.status, ReadStatus::Loaded);
        QCOMPARE(result.run.count, int16_t(5000));
        QCOMPARE(result.run.buffer, Buffer(codes));
    }

    void onlyPlainFilesAreRead() {
        QTemporaryDir dir;
        for (const QString& path : {dir.path(), dir.filePath("missing.dat"), QString("/dev/zero")})
            QCOMPARE(kx::datafile::ReadRunFile(path.toStdString(), Form::Decimal).status,
                     ReadStatus::CannotOpen);
    }

    void parsesRuns_data() {
        QTest::addColumn<Form>("form");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<ReadStatus>("status");
        QTest::addColumn<Codes>("codes");  // the run loaded, or {line number} of the bad line
        auto row = [](const char* name, Form form, const std::string& text, ReadStatus status,
                      Codes codes) {
            QTest::newRow(name) << form << QByteArray::fromStdString(text) << status << codes;
        };
        const ReadStatus loaded = ReadStatus::Loaded, bad = ReadStatus::BadLine;
        row("hex 0", Form::Hex, "0\r\n", loaded, {0});
        row("hex zeros any width", Form::Hex, "00\r\n000000\r\n00000000\r\n", loaded, {0, 0, 0});
        row("hex 8000 FFFF", Form::Hex, "8000\r\nFFFF\r\n", loaded, {32768, 65535});
        row("hex either case", Form::Hex, "ff\r\n80000c\r\n7FFFFFFF\r\n", loaded,
            {255, 8388620, 2147483647});
        row("hex eight digits two's complement", Form::Hex,
            "80000000\r\nFFFFFFFF\r\nffff0000\r\n0FFFFFFF\r\nFFFFFFF\r\n", loaded,
            {-2147483648.0, -1, -65536, 268435455, 268435455});
        row("hex nine digits", Form::Hex, "1\r\n000000001\r\n", bad, {2});
        row("hex of a decimal file", Form::Hex, " 12\r\n", bad, {1});
        row("decimal blanks", Form::Decimal, " 12\r\n  -7  \r\n+3\r\n\t4\r\n", loaded,
            {12, -7, 3, 4});
        row("decimal halves to even", Form::Decimal, "2.5\r\n3.5\r\n-2.5\r\n0.4999\r\n7.51\r\n",
            loaded, {2, 4, -2, 0, 8});
        row("decimal 32-bit ends", Form::Decimal, "2147483647\r\n-2147483648\r\n", loaded,
            {2147483647, -2147483648.0});
        row("decimal above 32 bits", Form::Decimal, "1\r\n2147483648\r\n", bad, {2});
        row("decimal below 32 bits", Form::Decimal, "-2147483649\r\n", bad, {1});
        row("decimal of a hex file", Form::Decimal, "12\r\n1F\r\n4\r\n", bad, {2});
        row("LF only", Form::Decimal, " 1\n 2\n 3\n", loaded, {1, 2, 3});
        row("no end on last line", Form::Hex, "A\r\nB", loaded, {10, 11});
        row("first line empty", Form::Decimal, "\r\n5\r\n", bad, {1});
        row("NUL byte", Form::Decimal, std::string("12\0\r\n", 5), bad, {1});
        row("empty file", Form::Decimal, "", ReadStatus::Empty, {});
        row("9 lines", Form::Decimal, Lines(9, " 7"), loaded, Codes(9, 7));
        row("5000 lines", Form::Decimal, Lines(5000, " 7"), loaded, Codes(5000, 7));
        row("5001 lines", Form::Decimal, Lines(5001, " 7"), ReadStatus::TooManyCodes, {});
        row("5001 lines, one bad", Form::Decimal, "x\r\n" + Lines(5000, " 7"),
            ReadStatus::TooManyCodes, {});
        row("100 codes, empty line, 6000 more", Form::Decimal,
            Lines(100, " 7") + "\r\n" + Lines(6000, "junk"), loaded, Codes(100, 7));
        row("endless line", Form::Decimal, std::string(1 << 20, '7'), bad, {1});
    }
    void parsesRuns() {
        QFETCH(Form, form);
        QFETCH(QByteArray, text);
        QFETCH(ReadStatus, status);
        QFETCH(Codes, codes);
        const kx::datafile::ReadResult result =
            kx::datafile::ParseRun(std::string_view(text.data(), size_t(text.size())), form);
        QCOMPARE(result.status, status);
        if (status == ReadStatus::BadLine) QCOMPARE(result.badLine, int(codes.at(0)));
        if (status != ReadStatus::Loaded) return;
        QCOMPARE(result.run.count, int16_t(codes.size()));
        QCOMPARE(result.run.buffer, Buffer(codes));
    }

    // Runs of any length read as they come: the same codes and bad lines as the whole-text
    // reader, whatever pieces the input arrives in, and no limit on the count.
    void streamsRuns_data() {
        parsesRuns_data();
        QTest::newRow("5001 lines, no limit")
            << Form::Decimal << QByteArray::fromStdString(Lines(5001, " 7")) << ReadStatus::Loaded
            << Codes(5001, 7);
        QTest::newRow("a line of 4096 characters") << Form::Decimal << QByteArray(4095, '0') + "7\n"
                                                   << ReadStatus::Loaded << Codes{7};
        QTest::newRow("4096 characters and CR") << Form::Decimal << QByteArray(4095, '0') + "7\r\n"
                                                << ReadStatus::BadLine << Codes{1};
    }
    void streamsRuns() {
        QFETCH(Form, form);
        QFETCH(QByteArray, text);
        QFETCH(ReadStatus, status);
        QFETCH(Codes, codes);
        if (status == ReadStatus::TooManyCodes) return;  // the 5000 limit is the screen's only
        for (const size_t piece : {size_t(1), size_t(3), size_t(4097), size_t(1) << 30}) {
            size_t at = 0;
            Codes read;
            const auto result = kx::datafile::StreamLongRun(
                [&](char* into, size_t size) {
                    const size_t n = std::min({size, piece, size_t(text.size()) - at});
                    std::memcpy(into, text.data() + at, n);
                    at += n;
                    return std::ptrdiff_t(n);
                },
                form,
                [&](std::span<const int32_t> batch) {
                    read.insert(read.end(), batch.begin(), batch.end());
                });
            QCOMPARE(result.status, status);
            if (status == ReadStatus::BadLine) QCOMPARE(result.badLine, int64_t(codes.at(0)));
            if (status == ReadStatus::Loaded) QCOMPARE(read, codes);
        }
    }
};

QTEST_APPLESS_MAIN(DataFileTest)
#include "tst_datafile.moc"
