// Feeds arbitrary bytes to the project-file reader: a bad file may fail to
// load, but never crash, hang or allocate beyond its own size order. What
// loads must store and load again to the same records (in another order:
// loading renumbers the keys).
#include "framework/archive.h"
#include "framework/errors.h"
#include "model/movie_list.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CYoutubeFileList list;
    try {
        CMemFile file({data, size});
        CArchive ar(file, CArchive::load);
        list.Serialize(ar);
    } catch (const CArchiveException&) {
        return 0;
    }

    CMemFile stored;
    {
        CArchive ar(stored, CArchive::store);
        list.Serialize(ar);
        ar.Close();
    }
    CYoutubeFileList again;
    CMemFile in(stored.Data());
    CArchive ar(in, CArchive::load);
    again.Serialize(ar);
    CMemFile storedAgain;
    {
        CArchive out(storedAgain, CArchive::store);
        again.Serialize(out);
        out.Close();
    }
    if (again.GetCount() != list.GetCount() || storedAgain.Data().size() != stored.Data().size())
        std::abort();
    return 0;
}
