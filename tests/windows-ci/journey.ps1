# The journey on a real Windows machine's own adapter (the one the default route leaves
# through): apply an entry with a DoH template, read it back with GetInterfaceDnsSettings
# version 3 (asked here, not through Keldrast), DNS Default, Restore, and check that the
# registry is back exactly as it was. Needs administrator rights; changes the machine's DNS
# for a minute, so it is meant for throwaway CI runners.
param([Parameter(Mandatory)] [string] $Exe)
$ErrorActionPreference = 'Stop'

Add-Type -TypeDefinition @'
using System;
using System.Runtime.InteropServices;
public static class DnsSettings3 {
    [StructLayout(LayoutKind.Sequential)]
    public struct Settings {
        public uint Version; public ulong Flags; public IntPtr Domain; public IntPtr NameServer;
        public IntPtr SearchList; public uint RegistrationEnabled; public uint RegisterAdapterName;
        public uint EnableLLMNR; public uint QueryAdapterName; public IntPtr ProfileNameServer;
        public uint DisableUnconstrainedQueries; public IntPtr SupplementalSearchList;
        public uint cServerProperties; public IntPtr ServerProperties;
        public uint cProfileServerProperties; public IntPtr ProfileServerProperties;
    }
    [StructLayout(LayoutKind.Sequential)]
    public struct Property { public uint Version; public uint ServerIndex; public uint Type; public IntPtr DohSettings; }
    [StructLayout(LayoutKind.Sequential)]
    public struct Doh { public IntPtr Template; public ulong Flags; }
    [DllImport("iphlpapi.dll")] static extern uint GetInterfaceDnsSettings(Guid g, ref Settings s);
    [DllImport("iphlpapi.dll")] static extern void FreeInterfaceDnsSettings(ref Settings s);
    // "servers|index:flags:template ..." of one family, or "error N".
    public static string Read(Guid g, bool ipv6) {
        var s = new Settings { Version = 3, Flags = ipv6 ? 1UL : 0UL };
        uint status = GetInterfaceDnsSettings(g, ref s);
        if (status != 0) return "error " + status;
        string text = (Marshal.PtrToStringUni(s.NameServer) ?? "") + "|";
        int size = Marshal.SizeOf(typeof(Property));
        for (int i = 0; i < s.cServerProperties; i++) {
            var p = (Property)Marshal.PtrToStructure(s.ServerProperties + i * size, typeof(Property));
            if (p.Type != 1 || p.DohSettings == IntPtr.Zero) continue;
            var d = (Doh)Marshal.PtrToStructure(p.DohSettings, typeof(Doh));
            text += p.ServerIndex + ":" + d.Flags + ":" + Marshal.PtrToStringUni(d.Template) + " ";
        }
        FreeInterfaceDnsSettings(ref s);
        return text.TrimEnd();
    }
}
'@

function Run([string[]] $arguments) {
    $out = New-TemporaryFile
    $p = Start-Process $Exe -ArgumentList $arguments -Wait -PassThru -NoNewWindow -RedirectStandardOutput $out
    $text = Get-Content -Raw $out
    Remove-Item $out
    Write-Host "keldrast $arguments -> $($p.ExitCode): $text"
    return @{ Code = $p.ExitCode; Json = ($text | ConvertFrom-Json) }
}

# Every value under the adapter's interface keys in the three control sets and its DoH key,
# as text, to compare before and after.
function Snapshot([string] $guid) {
    $paths = foreach ($set in 'ControlSet001', 'ControlSet002', 'CurrentControlSet') {
        foreach ($stack in 'Tcpip', 'Tcpip6') { "HKLM:\SYSTEM\$set\Services\$stack\Parameters\Interfaces\$guid" }
    }
    $paths += "HKLM:\SYSTEM\CurrentControlSet\Services\Dnscache\InterfaceSpecificParameters\$guid\DohInterfaceSettings"
    $lines = foreach ($path in $paths) {
        if (-not (Test-Path $path)) { "$path <absent>"; continue }
        foreach ($key in @(Get-Item $path) + @(Get-ChildItem -Recurse $path)) {
            $name = $key.Name
            foreach ($value in 'NameServer', 'DohFlags', 'DohTemplate') {
                if ($key.GetValueNames() -contains $value) { "$name $value=$($key.GetValue($value))" }
            }
            if ($key.GetValueNames().Count -eq 0) { "$name <key>" }
        }
    }
    return ($lines -join "`n")
}

function Check([bool] $ok, [string] $what) {
    if (-not $ok) { throw "journey: $what" }
    Write-Host "ok: $what"
}

$listed = (Run @('/list', '/json')).Json.adapters | Where-Object { $_.connection.defaultRoute }
Check ($listed.Count -ge 1) 'an adapter carries the default route'
$guid = @($listed)[0].guid
$before = Snapshot $guid
Write-Host "before:`n$before"

try {
    $set = Run @('/set', '"Google DNS"', '/adapter', 'default', '/doh', 'on', '/json')
    Check ($set.Code -eq 0) '/set "Google DNS" exits with 0'
    Check ($set.Json.encryption.result -eq 'encrypted') 'the DoH settings were handed to Windows'
    $v4 = [DnsSettings3]::Read([Guid]$guid, $false)
    $v6 = [DnsSettings3]::Read([Guid]$guid, $true)
    Write-Host "GetInterfaceDnsSettings version 3: IPv4 $v4; IPv6 $v6"
    Check ($v4 -eq '8.8.8.8,8.8.4.4|0:6:https://dns.google/dns-query 1:6:https://dns.google/dns-query') 'IPv4 servers and their DoH settings read back'
    Check ($v6 -like '2001:4860:4860::8888,2001:4860:4860::8844|0:6:https://dns.google/dns-query 1:6:*') 'IPv6 servers and their DoH settings read back'

    $default = Run @('/default', '/adapter', 'default', '/json')
    Check ($default.Code -eq 0) '/default exits with 0'
    $v4 = [DnsSettings3]::Read([Guid]$guid, $false)
    Check ($v4 -like '|*' -or $v4 -like 'error*') "no static IPv4 servers after DNS Default ($v4)"
} finally {
    $restore = Run @('/restore', '/adapter', 'default', '/json')
}
Check ($restore.Code -eq 0) '/restore exits with 0'
$after = Snapshot $guid
Write-Host "after:`n$after"
Check ($after -eq $before) 'the registry is back exactly as it was'
