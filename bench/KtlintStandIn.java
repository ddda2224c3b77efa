import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

// Stands in for ktlint at its interface in the benchmark: options first, then the files, each
// rewritten in place. What it costs is what matters: a Java VM started once per run.
public final class KtlintStandIn {
    public static void main(String[] arguments) throws Exception {
        for (String argument : arguments) {
            if (argument.startsWith("-"))
                continue;
            Path file = Path.of(argument);
            String text = Files.readString(file, StandardCharsets.UTF_8);
            String formatted = text.replaceAll("[ \t]+\n", "\n").replaceAll("\\( +", "(");
            if (!formatted.equals(text))
                Files.writeString(file, formatted, StandardCharsets.UTF_8);
        }
    }
}
