#pragma once
// TUnTAR extracts the members of tar archives (v7, ustar, GNU and pax forms)
// that match FileSpec. Member data is stored, so it is copied as it stands.
// GNU long-name records and pax extended headers name the member that follows
// them; the ustar prefix is part of the name. Directories are never made by
// this reader; symbolic links, devices and FIFOs are passed over (a link is
// never written through); a hard link is extracted as a copy of its target
// when that target was extracted before it in the same run.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <map>
#include <string>

namespace mv {

class TUnTAR : public TUnBase {
public:
    TUnTAR();
    ~TUnTAR() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    struct TTarMember;
    void ExtractMember(TArcStream& file, TArcStream* stream, const TTarMember& m);
    void ExtractHardLink(TArcStream& file, TArcStream* stream, const TTarMember& m);
    // Output paths of the members extracted in this run, by stored name.
    std::map<std::string, std::string> FExtracted;
    // Without files (a test, a search): where the data of each member passed
    // lies in the archive, for the hard links to it.
    std::map<std::string, std::pair<int64_t, int64_t>> FPassed;
};

} // namespace mv
