// The title lookup for code that waits for its answer (the headless run): each call runs the
// MusicBrainz client in a local event loop until it answers or gives up.
#pragma once

#include "export/ITitleLookup.h"
#include "export/qt/CMusicBrainzClient.h"

namespace sondrel {

// Threads: the thread that owns the Qt application object.
class CMusicBrainzLookup : public ITitleLookup {
public:
    LookupStatus FindReleases(const std::string& artist, const std::string& album,
                              std::vector<ReleaseMatch>& matches) override;
    LookupStatus LoadRelease(const std::string& id, std::vector<ReleaseTrack>& tracks) override;

    CMusicBrainzClient& Client() { return m_client; }

private:
    CMusicBrainzClient m_client;
};

}  // namespace sondrel
