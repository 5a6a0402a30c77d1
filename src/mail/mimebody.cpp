#include "mail/mimebody.h"

#include "base/atomicfile.h"

#include <QFile>
// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")
#include <mutex>

namespace veltrane {

namespace {

void initMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// The reply data as the server sent it: lines that began with a dot got another one, and a line
// holding a single dot ends it.
std::string undoDotStuffing(const std::string& data) {
    std::string out;
    out.reserve(data.size());
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find('\n', pos);
        const size_t next = end == std::string::npos ? data.size() : end + 1;
        std::string_view line(data.data() + pos, next - pos);
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
            bare.remove_suffix(1);
        if (bare == ".")
            break;
        if (line.starts_with('.'))
            line.remove_prefix(1);
        out.append(line);
        pos = next;
    }
    return out;
}

// The first text/plain part, else the first text part of any kind.
GMimeTextPart* findTextPart(GMimeObject* object, bool plainOnly) {
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            if (GMimeTextPart* found = findTextPart(g_mime_multipart_get_part(multipart, i), plainOnly))
                return found;
        return nullptr;
    }
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        return inner ? findTextPart(g_mime_message_get_mime_part(inner), plainOnly) : nullptr;
    }
    if (!GMIME_IS_TEXT_PART(object))
        return nullptr;
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
    if (disposition && g_mime_content_disposition_is_attachment(disposition))
        return nullptr;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (plainOnly && !g_mime_content_type_is_type(type, "text", "plain"))
        return nullptr;
    return GMIME_TEXT_PART(object);
}

} // namespace

std::string messageBodyTextOf(const std::string& retrData) {
    initMime();
    const std::string bytes = undoDotStuffing(retrData);
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    if (!message)
        return {};
    std::string text;
    if (GMimeObject* body = g_mime_message_get_mime_part(message)) {
        GMimeTextPart* part = findTextPart(body, true);
        if (!part)
            part = findTextPart(body, false);
        if (part) {
            if (char* decoded = g_mime_text_part_get_text(part)) {
                text = decoded;
                g_free(decoded);
            }
        }
    }
    g_object_unref(message);
    return text;
}

std::optional<std::string> messageBodyText(const QString& path, std::string& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    return messageBodyTextOf(std::string(data.constData(), static_cast<size_t>(data.size())));
}

} // namespace veltrane
