#include "ElfImage.h"

#ifdef __ELF__

#include "FileDescriptor.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace component {

using platform::FileDescriptor;

namespace {

#if __SIZEOF_POINTER__ == 8
using Ehdr = Elf64_Ehdr;
using Phdr = Elf64_Phdr;
using Shdr = Elf64_Shdr;
constexpr unsigned char kClass = ELFCLASS64;
#else
using Ehdr = Elf32_Ehdr;
using Phdr = Elf32_Phdr;
using Shdr = Elf32_Shdr;
constexpr unsigned char kClass = ELFCLASS32;
#endif

constexpr unsigned char kByteOrder = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

// The machine this code runs on; on one not listed the loader alone judges.
constexpr unsigned kMachine =
#if defined(__x86_64__)
    EM_X86_64;
#elif defined(__i386__)
    EM_386;
#elif defined(__aarch64__)
    EM_AARCH64;
#elif defined(__arm__)
    EM_ARM;
#elif defined(__riscv)
    EM_RISCV;
#elif defined(__powerpc64__)
    EM_PPC64;
#elif defined(__powerpc__)
    EM_PPC;
#elif defined(__s390__)
    EM_S390;
#elif defined(__loongarch__) && defined(EM_LOONGARCH)
    EM_LOONGARCH;
#else
    EM_NONE;
#endif

bool readAt(int fd, std::uint64_t offset, void *buffer, std::size_t length)
{
    auto *out = static_cast<char *>(buffer);
    while (length > 0) {
        const ssize_t got = ::pread(fd, out, length, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += std::uint64_t(got);
        length -= std::size_t(got);
    }
    return true;
}

// count entries of entrySize bytes from offset lie within size bytes;
// written so that no sum or product can overflow.
bool tableInside(std::uint64_t offset, std::uint64_t count, std::uint64_t entrySize, std::uint64_t size)
{
    return offset <= size && (entrySize == 0 || count <= (size - offset) / entrySize);
}

QString truncated(const QString &what, std::uint64_t count, const char *unit, std::uint64_t offset, std::uint64_t size)
{
    return QStringLiteral("is truncated: %1 (%2 %3 from byte %4) runs past the end of the file (%5 bytes)")
        .arg(what)
        .arg(count)
        .arg(QLatin1String(unit))
        .arg(offset)
        .arg(size);
}

std::optional<QString> headersProblem(int fd, std::uint64_t size)
{
    if (size == 0)
        return QStringLiteral("is empty");
    Ehdr eh;
    const std::size_t head = std::min<std::uint64_t>(size, sizeof eh);
    if (!readAt(fd, 0, &eh, head))
        return QStringLiteral("could not be read");
    // What there is of the magic number must match before a short file
    // counts as a library cut short.
    if (std::memcmp(eh.e_ident, ELFMAG, std::min<std::size_t>(head, SELFMAG)) != 0)
        return QStringLiteral("is not an ELF file");
    if (head < sizeof eh)
        return QStringLiteral("is truncated: %1 bytes, too short for an ELF header").arg(size);

    const unsigned char *id = eh.e_ident;
    if (id[EI_CLASS] != kClass)
        return QStringLiteral("is an ELF file of another class than this %1-bit machine's").arg(8 * sizeof(void *));
    if (id[EI_DATA] != kByteOrder)
        return QStringLiteral("is an ELF file of another byte order than this machine's");
    if (id[EI_VERSION] != EV_CURRENT || eh.e_version != EV_CURRENT)
        return QStringLiteral("is an ELF file of an unknown version");
    if (eh.e_type != ET_DYN)
        return QStringLiteral("is not a shared object (ELF type %1)").arg(eh.e_type);
    if (kMachine != EM_NONE && eh.e_machine != kMachine)
        return QStringLiteral("is built for another machine (ELF machine %1, this one is %2)")
            .arg(eh.e_machine)
            .arg(kMachine);

    if (eh.e_phnum == 0)
        return QStringLiteral("has no program headers");
    if (eh.e_phentsize != sizeof(Phdr))
        return QStringLiteral("has program headers of %1 bytes, not %2").arg(eh.e_phentsize).arg(sizeof(Phdr));
    if (!tableInside(eh.e_phoff, eh.e_phnum, sizeof(Phdr), size))
        return truncated(QStringLiteral("the program header table"), eh.e_phnum, "entries", eh.e_phoff, size);

    std::vector<Phdr> headers(eh.e_phnum);
    if (!readAt(fd, eh.e_phoff, headers.data(), headers.size() * sizeof(Phdr)))
        return QStringLiteral("could not be read");
    bool loadable = false;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const Phdr &ph = headers[i];
        if (ph.p_type != PT_LOAD)
            continue;
        loadable = true;
        if (!tableInside(ph.p_offset, ph.p_filesz, 1, size))
            return truncated(QStringLiteral("loadable segment %1").arg(i), ph.p_filesz, "bytes", ph.p_offset, size);
    }
    if (!loadable)
        return QStringLiteral("has no loadable segment");

    // Stripped to the bone a library has no section headers; when it has
    // them, an interrupted copy usually loses them first, as they come last.
    if (eh.e_shoff != 0) {
        if (eh.e_shentsize != sizeof(Shdr))
            return QStringLiteral("has section headers of %1 bytes, not %2").arg(eh.e_shentsize).arg(sizeof(Shdr));
        std::uint64_t count = eh.e_shnum;
        if (count == 0) {
            // Too many sections for the field: the first header holds the count.
            Shdr first;
            if (!tableInside(eh.e_shoff, 1, sizeof first, size))
                return truncated(QStringLiteral("the section header table"), 1, "entries", eh.e_shoff, size);
            if (!readAt(fd, eh.e_shoff, &first, sizeof first))
                return QStringLiteral("could not be read");
            count = std::max<std::uint64_t>(first.sh_size, 1);
        }
        if (!tableInside(eh.e_shoff, count, sizeof(Shdr), size))
            return truncated(QStringLiteral("the section header table"), count, "entries", eh.e_shoff, size);
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> sharedObjectProblem(const QString &path)
{
    // Non-blocking, so that opening a FIFO does not wait for a writer; a
    // regular file reads the same either way.
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        return QStringLiteral("cannot be opened: ") + qt_error_string(errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return QStringLiteral("cannot be examined: ") + qt_error_string(errno);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("is not a regular file");
    return headersProblem(fd.get(), std::uint64_t(st.st_size));
}

#else

std::optional<QString> sharedObjectProblem(const QString &)
{
    return std::nullopt;
}

#endif

} // namespace component
