#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class TByteSource;
class TMObj;
class TTUNECRATE;

// Playlist files: ".m3u" lists one full file name per line; ".wpl" is the
// XML playlist, one <media src="..."/> element per file between <seq> and
// </seq>.
enum class TPlaylistKind { None, M3u, Wpl };

// Decided by the last four characters of the name, letter case significant:
// ".M3U" is neither.
TPlaylistKind PlaylistKind(std::string_view fileName);

// The whole file of a playlist of that kind listing these file names in
// order, every line ended by CR LF. Empty for None.
std::string PlaylistText(TPlaylistKind kind, const std::vector<std::string>& fileNames);

// The entries a playlist holds, in order: the lines of an ".m3u" file, each
// taken whole but for its line end (LF or CR LF); the src values of the
// <media> elements of a ".wpl" file, with XML's character references
// resolved. Nothing for None.
std::vector<std::string> ReadPlaylistEntries(TPlaylistKind kind, TByteSource& source);

// The library item an entry names: the item of exactly that file name, or,
// for a relative entry, the one of the name taken relative to the
// playlist's folder (which ends with "/"). None when the library has neither.
TMObj* FindPlaylistEntry(const TTUNECRATE& library, const std::string& entry, const std::string& playlistFolder);

// A loaded playlist reads its items' tags again, as adding did, but only
// when the file changed since (its size or modification time differ from
// the item's) and the item holds no tag edits still to be written: loading
// never throws edits away, and unchanged files cost one status query each.
void RefreshPlaylistItem(TMObj& item);

// Copies files into one folder for one copy command. Each file keeps its
// name part; when an earlier file of the same copy took that name, the later
// one becomes "name (2).ext", "name (3).ext", ... A file that was in the
// folder before the copy is replaced.
class TFileCopier {
public:
    // folder ends with "/".
    explicit TFileCopier(std::string folder);

    // Writes the copy under a temporary name in the folder, flushes it and
    // renames it into place, so that a failure never leaves a half file
    // where a whole one was. False, with the reason in *error, when the
    // source cannot be read or the copy cannot be written; nothing of the
    // attempt is left then.
    bool Copy(const std::string& source, std::string* error = nullptr);

private:
    std::string folder_;
    std::unordered_set<std::string> taken_; // names this copy has written
};
