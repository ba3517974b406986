#include "PluginHost.h"

#include <pluginterfaces/base/ipluginbase.h>

#include <dlfcn.h>

namespace probe {
namespace {

juce::File moduleLibrary(const juce::File& bundle)
{
    return bundle.getChildFile("Contents").getChildFile("x86_64-linux")
                 .getChildFile(bundle.getFileNameWithoutExtension() + ".so");
}

juce::String text(const Steinberg::char8* s, size_t max)
{
    return juce::String::fromUTF8(s, static_cast<int>(strnlen(s, max)));
}

} // namespace

bool readFactory(const juce::File& bundle, FactoryInfo& info, juce::String& error)
{
    const auto library = moduleLibrary(bundle);
    void* handle = dlopen(library.getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        error = "cannot open " + library.getFullPathName() + ": " + dlerror();
        return false;
    }

    using EntryFn = bool (*)(void*);
    using ExitFn = bool (*)();
    using FactoryFn = Steinberg::IPluginFactory* (*)();
    auto entry = reinterpret_cast<EntryFn>(dlsym(handle, "ModuleEntry"));
    auto exitFn = reinterpret_cast<ExitFn>(dlsym(handle, "ModuleExit"));
    auto getFactory = reinterpret_cast<FactoryFn>(dlsym(handle, "GetPluginFactory"));
    if (entry == nullptr || exitFn == nullptr || getFactory == nullptr)
    {
        error = "the module lacks ModuleEntry, ModuleExit or GetPluginFactory";
        dlclose(handle);
        return false;
    }

    bool ok = entry(handle);
    Steinberg::IPluginFactory* factory = ok ? getFactory() : nullptr;
    if (factory == nullptr)
    {
        error = "the module returned no factory";
        ok = false;
    }
    else
    {
        Steinberg::PFactoryInfo fi;
        factory->getFactoryInfo(&fi);
        info.vendor = text(fi.vendor, sizeof(fi.vendor));
        info.url = text(fi.url, sizeof(fi.url));
        info.email = text(fi.email, sizeof(fi.email));
        info.flags = static_cast<int>(fi.flags);

        Steinberg::IPluginFactory2* factory2 = nullptr;
        factory->queryInterface(Steinberg::IPluginFactory2::iid, reinterpret_cast<void**>(&factory2));

        for (Steinberg::int32 i = 0; i < factory->countClasses(); ++i)
        {
            FactoryClass c;
            Steinberg::PClassInfo2 ci2;
            Steinberg::PClassInfo ci;
            if (factory2 != nullptr && factory2->getClassInfo2(i, &ci2) == Steinberg::kResultOk)
            {
                c.category = text(ci2.category, sizeof(ci2.category));
                c.name = text(ci2.name, sizeof(ci2.name));
                c.subCategories = text(ci2.subCategories, sizeof(ci2.subCategories));
                c.vendor = text(ci2.vendor, sizeof(ci2.vendor));
                c.version = text(ci2.version, sizeof(ci2.version));
                c.classFlags = static_cast<int>(ci2.classFlags);
                c.cardinality = static_cast<int>(ci2.cardinality);
            }
            else if (factory->getClassInfo(i, &ci) == Steinberg::kResultOk)
            {
                c.category = text(ci.category, sizeof(ci.category));
                c.name = text(ci.name, sizeof(ci.name));
                c.cardinality = static_cast<int>(ci.cardinality);
            }
            info.classes.push_back(c);
        }

        if (factory2 != nullptr)
            factory2->release();
        factory->release();
    }

    exitFn();
    dlclose(handle);
    return ok;
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin(const juce::File& bundle, double sampleRate,
                                                      int blockSize, juce::PluginDescription& description,
                                                      juce::String& error)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile(found, bundle.getFullPathName());
    if (found.isEmpty())
    {
        error = "no plug-in found in " + bundle.getFullPathName();
        return nullptr;
    }
    description = *found[0];
    return format.createInstanceFromDescription(description, sampleRate, blockSize, error);
}

bool prepareLayout(juce::AudioPluginInstance& plugin, int channels, double sampleRate, int blockSize)
{
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add(set);
    layout.outputBuses.add(set);
    if (! plugin.setBusesLayout(layout))
        return false;
    plugin.setRateAndBufferSizeDetails(sampleRate, blockSize);
    plugin.prepareToPlay(sampleRate, blockSize);
    return true;
}

} // namespace probe
