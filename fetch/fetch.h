// The feed fetcher: one worker thread per refresh downloads the feed and hands it to the reader.
#pragma once

// Starts a worker that downloads `url` and turns its items into messages of `folderId`. Both texts
// are copied; returns at once with the thread start's result, -1 when no thread could be started.
int StartFeedUpdate(const char* url, const char* folderId);
