#pragma once
// A read-only file: the one abstraction every loader reads through. Names are game file
// names (see GamePath.h); only regular files open. Clones made with copyState share the
// open handle but keep their own position.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kestrin {

class CFile {
public:
    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // A new closed object of the same class; with copyState it shares this object's
    // handle and takes over its name and position.
    virtual CFile* Clone(bool copyState);
    // True on failure (the object is then closed). An open object is closed first.
    virtual bool Open(const char* name);
    // Bytes read; 0 when closed.
    virtual int Read(void* buffer, unsigned size);
    // Origins 0 start, 1 current, 2 end. 0 on success, -1 on failure (or when closed).
    virtual int Seek(int offset, int origin);
    virtual int Tell();
    virtual int GetSize();
    // -1 when not open.
    virtual int Close();
    virtual std::string GetName();

    void CopyFrom(const CFile& other);
    bool IsOpen() const { return m_stream != nullptr; }

protected:
    // One open stdio stream, shared by clones; closed with its last holder.
    struct SSharedStream {
        explicit SSharedStream(std::FILE* f) : file(f) {}
        ~SSharedStream();
        std::FILE* file;
        int64_t position = 0;  // where the stdio stream stands; -1 when unknown
    };

    std::shared_ptr<SSharedStream> m_stream;
    std::string m_name;
    int64_t m_position = 0;
};

}  // namespace kestrin
