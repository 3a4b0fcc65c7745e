// Reads arbitrary bytes as one object of the test class graph, typed and
// untyped. Whatever is read must write back to bytes that read and write
// again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "archive/archive.h"
#include "tests/archive/testgraph.h"

namespace {

void ReadOne(std::string_view bytes, const CRuntimeClass* pRequired)
{
    std::unique_ptr<CObject> pOb;
    try {
        pOb = LoadObjectFromBytes(bytes, pRequired);
    } catch (const CException&) {
        return;
    }
    // What was read must write and read back without error (an exception
    // here ends the run as a crash).
    std::string first = StoreObjectToBytes(pOb.get());
    std::string second = StoreObjectToBytes(LoadObjectFromBytes(first, pRequired).get());
    if (first != second)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = (RegisterTestGraphClasses(), true);
    (void)registered;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadOne(bytes, nullptr);
    ReadOne(bytes, RUNTIME_CLASS(CTestGroup));
    ReadOne(bytes, RUNTIME_CLASS(CTestItem));
    return 0;
}
