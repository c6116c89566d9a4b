#include "link/failure_text.h"

#include <grp.h>
#include <netdb.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "sys/errno_text.h"

namespace varno::link {

namespace {

std::string endpoint(std::uint32_t host, std::uint32_t port)
{
    return FormatHostAddress(host) + ":" + std::to_string(port);
}

}  // namespace

std::string withCause(std::string_view first, std::string_view cause)
{
    std::string text(first);
    if (text.empty() || text.back() != '\n')
        text.push_back('\n');
    text.append(cause);
    return text;
}

std::string deviceGroup(std::string_view device)
{
    struct stat st {};
    if (::stat(std::string(device).c_str(), &st) != 0)
        return {};
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return {};
    return found->gr_name;
}

std::string serialOpenCause(std::string_view device, int error)
{
    const std::string name(device);
    switch (error) {
    case EACCES:
    case EPERM: {
        const std::string group = deviceGroup(device);
        const std::string named = group.empty() ? "du groupe propriétaire de " + name + " (en général dialout)"
                                                : "du groupe « " + group + " », propriétaire de " + name;
        return "permission refusée : le compte doit être membre " + named +
               " (sudo usermod -aG " + (group.empty() ? std::string("dialout") : group) +
               " $USER), puis se reconnecter";
    }
    case EBUSY:
    case EWOULDBLOCK: return name + " est utilisé par un autre programme";
    case ENOENT: return name + " introuvable";
    case ENXIO:
    case ENODEV: return name + " : périphérique absent";
    case ENOTTY:
    case EISDIR:
    case EINVAL: return name + " n'est pas un port série";
    default: return name + " : " + sys::errnoText(error);
    }
}

std::string serialLostCause(std::string_view device, int error)
{
    const std::string name(device);
    if (error == EIO || error == ENXIO || error == ENODEV)
        return name + " ne répond plus : périphérique débranché ou ligne raccrochée";
    return name + " : " + sys::errnoText(error);
}

std::string tcpOpenCause(std::uint32_t host, std::uint32_t port, const TcpOpenFailure& failure, int timeoutMs)
{
    return tcpOpenCause(endpoint(host, port), failure, timeoutMs);
}

std::string tcpOpenCause(std::string_view server, const TcpOpenFailure& failure, int timeoutMs)
{
    const std::string where(server);
    if (failure.step == TcpOpenFailure::Resolve) {
        if (failure.code == EAI_NONAME || failure.code == EAI_AGAIN || failure.code == EAI_FAIL)
            return "nom d'hôte introuvable : " + where;
        return "adresse impossible à résoudre : " + where + " (code " + std::to_string(failure.code) + ")";
    }
    switch (failure.code) {
    case ECONNREFUSED: return "aucun serveur n'écoute sur " + where;
    case ETIMEDOUT:
        return "aucune réponse de " + where + " en " + std::to_string((timeoutMs + 999) / 1000) + " s";
    default: return where + " : " + sys::errnoText(failure.code);
    }
}

std::string tcpLostCause(std::uint32_t host, std::uint32_t port, int error)
{
    return tcpLostCause(endpoint(host, port), error);
}

std::string tcpLostCause(std::string_view server, int error)
{
    const std::string where(server);
    switch (error) {
    case 0: return "le serveur " + where + " a fermé la connexion";
    case ECONNRESET: return "le serveur " + where + " a réinitialisé la connexion";
    default: return where + " : " + sys::errnoText(error);
    }
}

}  // namespace varno::link
