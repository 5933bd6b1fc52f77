// Signatures per second of the elliptic-curve engine (items_per_second, on CPU
// time). Verify is what a list of signatures pays for every row it draws;
// bench/eccrypt_vs_openssl.sh sets it against OpenSSL's ECDSA on a binary curve
// of similar size.

#include "ECCrypt.h"
#include "SHA.h"

#include <benchmark/benchmark.h>

using namespace signature;

namespace
{

struct Fixture {
    KeyPairTexts keys = MakeKeyPair();
    QByteArray digest = Sha1Digest("26.05.2024 08:00:00,17,Ivanov,OK,context");
    QString signature;

    Fixture()
    {
        TEllipticCurve ec;
        ec.setKeySecret(keys.secretText);
        ec.Sign(digest);
        signature = ec.Signature();
    }
};

const Fixture& fixture()
{
    static const Fixture f;
    return f;
}

// The row check: set the row's texts, verify.
void BM_Verify(benchmark::State& state)
{
    const Fixture& f = fixture();
    TEllipticCurve ec;
    for (auto _ : state) {
        ec.setKeyPublic(f.keys.publicText);
        ec.setSignature(f.signature);
        if (!ec.Verify(f.digest))
            state.SkipWithError("a genuine signature did not verify");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Verify)->Unit(benchmark::kMicrosecond);

void BM_Sign(benchmark::State& state)
{
    const Fixture& f = fixture();
    TEllipticCurve ec;
    for (auto _ : state) {
        ec.setKeySecret(f.keys.secretText);
        ec.Sign(f.digest);
        benchmark::DoNotOptimize(ec.Signature());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Sign)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
