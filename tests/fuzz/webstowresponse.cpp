// webstow's handling of the server's answer over arbitrary response bytes in
// arbitrary pieces (as recv may hand them over): the bytes shown, the first
// record kept, the records counted and the verdict on that record, against
// the plain model on the whole response at once.
#include "tests/fuzz/fuzz.h"
#include "webstow/upload.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// "HTTP", anything up to a blank, blanks, one to three digits ending the
// record or followed by a blank, a code from 100 up.
int modelstatus(const std::string &r) {
    if (r.compare(0, 4, "HTTP") != 0) return -1;
    size_t at = r.find(' ', 4);
    if (at == std::string::npos) return -1;
    at = r.find_first_not_of(' ', at);
    if (at == std::string::npos) return -1;
    size_t end = r.find_first_not_of("0123456789", at);
    if (end == std::string::npos) end = r.size();
    if (end == at || end - at > 3 || (end < r.size() && r[end] != ' ')) return -1;
    int code = std::stoi(r.substr(at, end - at));
    return code >= 100 ? code : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzinput in{data, size};
    int showall = in.byte() & 1;
    // Up to 15 piece lengths of 1 to 8192 bytes (a receive's buffer), taken
    // in turn; the rest comes in one last piece.
    std::vector<size_t> lengths(in.byte() % 16);
    for (size_t &n : lengths)
        n = in.u16() % 8192 + 1;
    std::string response((const char *)in.data, in.size);

    std::string blanked = response, first, shownmodel;
    for (char &c : blanked)
        if (c == '\r') c = ' ';
    size_t lf = blanked.find('\n');
    first = blanked.substr(0, std::min(lf, (size_t)maxrecord));
    shownmodel = showall || lf == std::string::npos ? blanked : blanked.substr(0, lf + 1);
    int recordsmodel = 1 + (int)std::count(blanked.begin(), blanked.end(), '\n');

    // The first record's buffer as upload has it: the record and its zero.
    char *record = (char *)malloc(maxrecord + 1);
    int stored = 0, records = 1;
    std::string shown;
    size_t at = 0;
    for (size_t piece = 0; at < response.size(); piece++) {
        size_t n = piece < lengths.size() ? std::min(lengths[piece], response.size() - at)
                                          : response.size() - at;
        char *chunk = (char *)malloc(n);
        memcpy(chunk, response.data() + at, n);
        int show = takeresponse(record, &stored, &records, chunk, (int)n, showall);
        CHECK(show >= 0 && (size_t)show <= n);
        shown.append(chunk, (size_t)show);
        free(chunk);
        at += n;
    }
    CHECK(stored >= 0 && stored <= maxrecord);
    record[stored] = 0;
    CHECK(std::string(record, (size_t)stored) == first);
    CHECK(shown == shownmodel);
    CHECK(records == recordsmodel);
    int status = responsestatus(record, stored);
    CHECK(status == modelstatus(first));
    CHECK(status == -1 || (status >= 100 && status <= 999));
    free(record);
    return 0;
}
