// The NuGet package's assembly and its Linux native libraries, loaded by the
// .NET runtime from the package as any host loads them. The mono tests
// (tests/bindings) cover the binding's behaviour; these, that the package
// carries a working whole.
using System;
using Xunit;
using Zep00001;

public class PackageFacts
{
    [Fact]
    public void TheNativeLibraryIsThePackagesVersion()
    {
        Assert.Equal(Environment.GetEnvironmentVariable("ZEP_TEST_VERSION"), Module.Version);
    }

    [Fact]
    public void ABindFillsTheSlotsAndAnUnbindClearsThem()
    {
        Module.Bind("Sat");
        Assert.NotEqual(IntPtr.Zero, Module.Slot("EmitirVenda"));
        Module.Unbind("Sat");
        Assert.Equal(IntPtr.Zero, Module.Slot("EmitirVenda"));
    }

    [Fact]
    public void AMissingPackageIsABindingFailureFromTheSharedPackage()
    {
        var failure = Assert.Throws<BindingFailure>(() => Module.Bind("Balanca", "1"));
        Assert.Equal("Erro na carga do pacote: X", failure.Message);
        Assert.StartsWith("cannot load package \"X\"", failure.Causes[0]);
    }

    [Fact]
    public void ABuilderGivesTypedPairs()
    {
        object[][] block = Module.Params_VerificaSerialImp_Zep00000(true, "C:\\CAD", "PADRAO", "BE0123");
        Assert.Equal(new object[] { "UTILIZAIMPFIS", true }, block[0]);
    }
}
