// zlk-storeblob: prints the stored form of a password read from standard
// input (one line), as the print dialogs keep it in the print settings.
// Support staff use it to reproduce a job from the command line:
//   lp -o com.zelko.jt.printsettings.pdf.ww.JBAUserPasswordTextEditTicket=$(zlk-storeblob <<< secret) ...

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <openssl/crypto.h>

#include "secblob/secblob.h"

int main()
{
    using namespace zlk::secblob;
    std::string password;
    std::getline(std::cin, password);
    if (password.empty() || password.size() > 255) {
        std::fputs("zlk-storeblob: give a password of 1 to 255 bytes on standard input\n", stderr);
        return 2;
    }
    std::vector<uint8_t> blob(password.size() + 16);
    std::size_t length = blob.size();
    int status =
        Encode_Storage(reinterpret_cast<const uint8_t*>(password.data()), password.size(), blob.data(), &length);
    OPENSSL_cleanse(password.data(), password.size());
    if (status != kSecBlobSuccess)
        return 1;
    std::string text(4 * (length / 3 + 1) + 4, '\0');
    text.resize(SecBlobEnc_Base64_Encode(blob.data(), length, text.data(), text.size()));
    if (text.empty())
        return 1;
    std::puts(text.c_str());
    return 0;
}
