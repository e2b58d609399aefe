// The compiled part of the Python module `o8r`: the engine's sessions, the
// catalogue and the image reader. The package's __init__.py builds the
// public API on it (results, exceptions, Box as a context manager).

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "core/catalogue/Catalogue.h"
#include "core/image/ImageFile.h"
#include "core/operations/FileLoadJob.h"
#include "o8r/BuildInfo.h"
#include "python/PySession.h"

namespace py = pybind11;
using namespace o8r;
using o8r::python::BoxSettings;
using o8r::python::PySession;
using o8r::python::SerialRequest;

namespace {

std::vector<std::string> CatalogueLines(const std::string& path) {
    auto lines = ReadCatalogueLines(path);
    if (!lines)
        throw std::invalid_argument(CatalogueFileProblem(CatalogueFileError::Missing, path) + " (" +
                                    path + ")");
    return std::move(*lines);
}

// Inclusive address ranges of a memory map, region 1 first.
py::list Regions(const MemoryMap& map) {
    py::list regions;
    if (map.region1Start != 0 && map.region1End > map.region1Start)
        regions.append(py::make_tuple(map.region1Start, map.region1End - 1));
    if (map.region2End > map.region2Start)
        regions.append(py::make_tuple(map.region2Start, map.region2End - 1));
    return regions;
}

py::list Mcus(const std::string& catalogue) {
    py::list parts;
    for (const McuListingGroup& group : BuildMcuListing(CatalogueLines(catalogue))) {
        for (const McuListingSeries& series : group.series) {
            for (const McuListingPart& part : series.parts) {
                py::dict entry;
                entry["group"] = group.text;
                entry["series"] = series.text;
                entry["part"] = part.row.part;
                entry["memory_size"] = part.row.memorySize;
                entry["regions"] = part.map ? Regions(*part.map) : py::list();
                parts.append(entry);
            }
        }
    }
    return parts;
}

// An image file read as programming would read it, under the part's map.
py::dict LoadImage(const std::string& path, const std::string& part,
                   std::optional<std::uint32_t> base, const std::string& catalogue) {
    const auto lines = CatalogueLines(catalogue);
    const auto record = FindPartLoosely(lines, part);
    if (!record)
        throw std::invalid_argument("the catalogue has no part \"" + part + "\"");
    const MemoryMap map = MemoryMapForPart(lines, record->part).value_or(MemoryMap{});
    auto image = std::make_unique<PageImage>();
    std::optional<Message> failure;
    {
        py::gil_scoped_release unlocked;
        failure = LoadImageFile(*image, path, map, {}, base);
    }
    py::dict result;
    result["part"] = record->part;
    result["error"] = failure ? py::object(py::str(failure->text)) : py::none();
    if (failure)
        return result;
    py::list pages;
    for (std::size_t i = 0; i < image->RecordCount(); ++i) {
        const PageRecord& page = image->pageRecords[i];
        pages.append(
            py::make_tuple(PageRecordNumber(page), PageRecordChecksum(page),
                           py::bytes(reinterpret_cast<const char*>(page.data()), page.size())));
    }
    result["pages"] = pages;
    result["format"] = ImageFormatShortName(image->format);
    const auto code = ImageIdCode(*image);
    result["idCode"] = code ? py::object(py::str(IdCodeText(*code))) : py::none();
    result["regions"] = Regions(map);
    return result;
}

}  // namespace

PYBIND11_MODULE(_o8r, m) {
    m.doc() = "The engine of o8r: sessions on a box, the catalogue, the image reader.";
    m.attr("__version__") = build::kVersion;
    m.attr("INSTALL_DATA_DIRECTORY") = build::kInstallDataDirectory;

    py::class_<BoxSettings>(m, "BoxSettings")
        .def(py::init<>())
        .def_readwrite("box", &BoxSettings::box)
        .def_readwrite("sim_state", &BoxSettings::simState)
        .def_readwrite("sim_protect", &BoxSettings::simProtect)
        .def_readwrite("sim_timing", &BoxSettings::simTiming)
        .def_readwrite("sim_serial", &BoxSettings::simSerial)
        .def_readwrite("sim_faults", &BoxSettings::simFaults)
        .def_readwrite("sim_update_mode", &BoxSettings::simUpdateMode)
        .def_readwrite("sim_realtime", &BoxSettings::simRealtime)
        .def_readwrite("catalogue", &BoxSettings::catalogue);

    py::class_<SerialRequest>(m, "SerialRequest")
        .def(py::init<>())
        .def_readwrite("value", &SerialRequest::value)
        .def_readwrite("at", &SerialRequest::at)
        .def_readwrite("overwrite", &SerialRequest::overwrite);

    py::class_<PySession>(m, "Session")
        .def(py::init<BoxSettings>())
        .def("detect", &PySession::Detect)
        .def("program", &PySession::Program)
        .def("erase", &PySession::Erase)
        .def("blank_check", &PySession::BlankCheck)
        .def("read", &PySession::Read)
        .def("load", &PySession::Load)
        .def("query", &PySession::Query)
        .def("update", &PySession::Update)
        .def("cancel", &PySession::Cancel)
        .def("release", &PySession::Release, py::call_guard<py::gil_scoped_release>())
        .def_property_readonly("port", &PySession::Port)
        .def_property_readonly("usb_serial", &PySession::UsbSerial);

    m.def("mcus", &Mcus, py::arg("catalogue"));
    m.def("load_image", &LoadImage, py::arg("path"), py::arg("part"), py::arg("base"),
          py::arg("catalogue"));
}
