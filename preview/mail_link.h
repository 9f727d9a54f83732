#pragma once
// The mailto: link of "Email Error Message To Halvex": a new message to the
// support address with the product name as subject and the error text in the
// body. Subject and body are percent-encoded (RFC 6068), so that the mail
// program shows exactly the text, and an "&", "?" or "#" inside it can neither
// cut the link short nor add header fields to the message.

#include <string>
#include <string_view>

namespace preview {

// Every byte outside the unreserved characters (letters, digits, "-._~") as
// %XX in upper-case hex; line breaks (CR LF, bare CR or bare LF) as %0D%0A.
std::string PercentEncode(std::string_view text);

// "mailto:<address>?subject=Pelmora&body=Here is the error message that I get: "
// LF and the error text, with subject and body encoded.
std::string ErrorMailLink(std::string_view address, std::string_view product, std::string_view error_text);

}  // namespace preview
