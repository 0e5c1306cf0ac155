#include "platform/emu/host/Mtools.h"

#include "platform/emu/hostsupport/HostTool.h"

namespace emu::host {

hostsupport::Result<std::string> Mtools::run(const std::string& tool,
                                             const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {tool, "-i", m_file + "@@" + std::to_string(m_volume.offset)};
    argv.insert(argv.end(), args.begin(), args.end());
    hostsupport::ToolResult result = hostsupport::HostTool::run(argv, m_codePage);
    if (!result.succeeded()) {
        return hostsupport::Failure{result.failure(tool) + " (" + m_volume.path + ")"};
    }
    return std::move(result.output);
}

} // namespace emu::host
