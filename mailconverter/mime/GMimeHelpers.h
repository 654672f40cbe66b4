// Small helpers over GMime's objects: references that drop themselves, bytes of streams and parts.
#pragma once

#include <gmime/gmime.h>

#include <string>

namespace tessaly {

/// GMime objects are reference counted; this drops our reference at scope exit.
template <typename T> struct GObjectRef
{
    T *object = nullptr;
    explicit GObjectRef(T *o) : object(o) {}
    ~GObjectRef()
    {
        if (object)
            g_object_unref(object);
    }
    GObjectRef(const GObjectRef &) = delete;
    GObjectRef &operator=(const GObjectRef &) = delete;
};

/// The bytes a memory stream holds.
std::string streamBytes(GMimeStream *stream);

/// The decoded content of a leaf part (transfer encoding undone, charset untouched). Base64
/// is decoded by decodeBase64, which reads past stray "=" characters.
std::string partContent(GMimePart *part);

/// The object as it would be written out, headers and all.
std::string objectBytes(GMimeObject *object);

/// The raw value of the header `name` of `object`, without the blanks after its colon; ""
/// when it has none.
std::string rawHeader(GMimeObject *object, const char *name);

} // namespace tessaly
