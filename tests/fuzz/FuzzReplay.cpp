// Without libFuzzer: runs the fuzz target over the files named on the command line, then over random
// inputs built from a fixed seed (ZENDREL_FUZZ_RUNS of them, 200,000 by default).
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        QFile f(QString::fromLocal8Bit(argv[i]));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray b = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size()));
        }
    }
    const char* env = std::getenv("ZENDREL_FUZZ_RUNS");
    const int runs = env ? std::atoi(env) : 200000;
    std::mt19937 rng(12345);
    // Pieces that make the interesting cases likely: brackets, tokens, waits, separators.
    const char* pieces[] = {"[", "]", "[Tab]", "[Password]", "[NAME]", "[WAIT=3]", "[PAUSE]", "[+", "^", "%",
                            "CTRL-", "KEY", " ", "x", "\xc3\xa4", "\0", "[URL]", "[Tab 3]", "[[", "]]"};
    for (int r = 0; r < runs; ++r) {
        std::string s;
        const int n = static_cast<int>(rng() % 24);
        for (int k = 0; k < n; ++k) {
            if (rng() % 3 == 0) {
                s += static_cast<char>(rng() % 256);
            } else {
                const char* p = pieces[rng() % (sizeof pieces / sizeof *pieces)];
                s += p[0] == '\0' ? std::string(1, '\0') : std::string(p);
            }
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    return 0;
}
