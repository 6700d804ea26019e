// Very large outputs go through the system's file cache instead of filling
// it. The first kKeepCached bytes of a file are written as any file is (the
// system writes them to the disk when it likes, after the program may have
// ended). Past them, every chunk written is handed to the disk at once, and
// the chunk before it, once it is on the disk, is dropped from the cache.
//
// A simplified DXF of a 200 MB drawing has some 4 GB: left to the cache, its
// writing cost three to ten times as much per byte as that of a 1 GB file on
// these machines, as the cache grew past what the system keeps ready. Written
// behind, the cache of a file stays at a few chunks and the cost per byte
// stays that of the disk. The advice never changes what the file holds, and
// where the system does not take it (a file system without a disk cache)
// nothing changes.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

class TWriteBehind {
public:
    static constexpr off_t kKeepCached = off_t(1) << 30;  // 1 GiB
    static constexpr off_t kChunk = off_t(64) << 20;      // 64 MiB

    // Follows the file fd (not owned), written from its start in order; keep
    // and chunk for tests.
    void Start(int fd, off_t keep = kKeepCached, off_t chunk = kChunk) {
        FFd = fd;
        FChunk = chunk > 0 ? chunk : kChunk;
        FSent = FDropped = keep > 0 ? keep : 0;
    }
    // The file holds what was written up to end.
    void Written(off_t end) {
        if (FFd < 0) return;
        while (end - FSent >= FChunk) {
            ::sync_file_range(FFd, FSent, FChunk, SYNC_FILE_RANGE_WRITE);
            FSent += FChunk;
            if (FSent - FDropped < 2 * FChunk) continue;
            // The chunk before the one just handed over has had the time
            // of a chunk to reach the disk; it is waited for, then dropped.
            ::sync_file_range(FFd, FDropped, FChunk,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
            ::posix_fadvise(FFd, FDropped, FChunk, POSIX_FADV_DONTNEED);
            FDropped += FChunk;
        }
    }

private:
    int FFd = -1;
    off_t FChunk = kChunk;
    off_t FSent = 0, FDropped = 0;  // the cached part ends at FDropped, the part sent at FSent
};
