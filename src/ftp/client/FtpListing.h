#pragma once
// One folder's entries read from the server through FtpClient, handed out one at a time
// like a local folder search.

#include "ftp/client/FtpClient.h"
#include "platform/FindRecord.h"

#include <QString>
#include <vector>

namespace velmar::ftp {

class FtpListing {
public:
    virtual ~FtpListing() = default;

    int position = 0; // index of the next record to hand out
    std::vector<FindRecord> records;
};

// Lists the folder of `path` (the text after its last slash, a mask, is not sent). An
// empty listing yields one folder entry "." so that it is never mistaken for a failure.
bool FindFirst(FtpListing& listing, FtpClient& client, const QString& path, FindRecord& record);
bool FindNext(FtpListing& listing, FindRecord& record);
void FindClose(FtpListing& listing);

} // namespace velmar::ftp
